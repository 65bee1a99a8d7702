// The clipboard on a real X server: a private Xvfb, owners played by xclip (stopped with SIGSTOP
// to play one that never answers), and the watch the tray uses, on Qt's xcb platform.
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/clipboard_watch.h"

namespace quillory::qt {
namespace {

using Urls = std::vector<std::string>;

// Xvfb on a display it picks itself; `problem` says why there is none.
struct XServer {
    pid_t pid = -1;
    std::string display;
    std::string problem;

    XServer() {
        int out[2];
        if (::pipe(out) != 0) {
            problem = "no pipe";
            return;
        }
        pid = ::fork();
        if (pid == 0) {
            ::close(out[0]);
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            // Its complaints about displays in use by others are noise here.
            if (const int null = ::open("/dev/null", O_WRONLY); null >= 0) ::dup2(null, STDERR_FILENO);
            const std::string fd = std::to_string(out[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "320x240x24", "-nolisten",
                     "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        // -displayfd writes the display number, then a newline, once the server accepts clients;
        // the server gives up if the newline cannot be written.
        std::string number;
        pollfd ready{out[0], POLLIN, 0};
        char c = 0;
        while (pid > 0 && number.find('\n') == std::string::npos && ::poll(&ready, 1, 20000) == 1 &&
               ::read(out[0], &c, 1) == 1)
            number += c;
        if (number.size() > 1 && number.back() == '\n') {
            display = ":" + number.substr(0, number.size() - 1);
        } else {
            problem = "Xvfb is not installed or did not start";
        }
        ::close(out[0]);
    }
    ~XServer() {
        if (pid <= 0) return;
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
};

XServer* server = nullptr;

// Clipboard owners (xclip in the foreground) and what the watch delivered.
class X11Clipboard : public ::testing::Test {
protected:
    void SetUp() override {
        if (server == nullptr || !server->problem.empty())
            GTEST_SKIP() << (server != nullptr ? server->problem : "no X server");
        if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
            GTEST_SKIP() << "xclip is not installed";
    }
    void TearDown() override {
        for (auto& owner : owners_) owner->kill();  // SIGKILL ends a stopped one too
        for (auto& owner : owners_) owner->waitForFinished(5000);
    }

    std::unique_ptr<ClipboardWatch> watch(std::chrono::milliseconds timeout) {
        return std::make_unique<ClipboardWatch>(
            *QGuiApplication::clipboard(), [this](Urls urls) { delivered_.push_back(std::move(urls)); },
            timeout);
    }

    // Puts `bytes` on the clipboard as `target`; the owner serves until another one takes over.
    QProcess& own(const char* target, const QByteArray& bytes) {
        QFile file(dir_.filePath(QString::number(owners_.size())));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        auto& owner = *owners_.emplace_back(std::make_unique<QProcess>());
        owner.start(QStringLiteral("xclip"),
                    {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                     QStringLiteral("-t"), QString::fromLatin1(target), file.fileName()});
        EXPECT_TRUE(owner.waitForStarted(5000));
        return owner;
    }

    QTemporaryDir dir_;
    std::vector<std::unique_ptr<QProcess>> owners_;
    std::vector<Urls> delivered_;
};

// File URLs, one a `separator`-ended line, `size` bytes in all.
std::pair<QByteArray, Urls> fileList(qsizetype size, const char* separator) {
    QByteArray bytes;
    Urls urls;
    auto add = [&](std::string url) {
        bytes += QByteArray::fromStdString(url) + separator;
        urls.push_back(std::move(url));
    };
    while (size - bytes.size() > 100)
        add("file:///photos/IMG_" + std::to_string(100000 + urls.size()) + ".JPG");
    add("file:///" +
        std::string(static_cast<std::size_t>(size - bytes.size()) - std::strlen(separator) - 12, 'p') +
        ".JPG");
    return {bytes, urls};
}

TEST_F(X11Clipboard, fetchesOnlyTheFormatItNeedsAndRefusesWhatIsTooLarge) {
    // Lists over a mebibyte go by xclip's incremental transfer.
    const auto [longList, longUrls] = fileList(3 << 19, "\r\n");
    const auto [mebibyte, mebibyteUrls] = fileList(1 << 20, "\n");
    const auto [tooLong, tooLongUrls] = fileList((1 << 20) + 1, "\n");
    struct Case {
        const char* name;
        const char* target;
        QByteArray bytes;
        std::optional<Urls> files;
        bool refused;
    };
    const Case cases[] = {
        {"GNOME copy", "x-special/gnome-copied-files", "copy\nfile:///a.jpg\nfile:///b.CR2",
         Urls{"file:///a.jpg", "file:///b.CR2"}, false},
        {"a long uri-list, incrementally", "text/uri-list", longList, longUrls, false},
        {"Nautilus's plain text", "UTF8_STRING", "x-special/nautilus-clipboard\ncopy\nfile:///c.jpg\n",
         Urls{"file:///c.jpg"}, false},
        {"plain text of a mebibyte", "UTF8_STRING", mebibyte, mebibyteUrls, false},
        {"plain text a byte longer", "UTF8_STRING", tooLong, std::nullopt, true},
        {"text from an editor", "UTF8_STRING", "hello", std::nullopt, false},
    };
    const auto watching = watch(ClipboardWatch::kReplyTimeout);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ClipboardCounters before = watching->counters();
        delivered_.clear();
        own(c.target, c.bytes);
        ASSERT_TRUE(QTest::qWaitFor([&] { return watching->counters().reads > before.reads; }, 10000));
        QCoreApplication::processEvents();  // the delivery queued before the count
        const ClipboardCounters after = watching->counters();
        EXPECT_EQ(delivered_, c.files ? std::vector<Urls>{*c.files} : std::vector<Urls>{});
        // The targets, then one format: xclip offers no other.
        EXPECT_EQ(after.asked - before.asked, 2u);
        EXPECT_EQ(after.refused - before.refused, c.refused ? 1u : 0u);
        EXPECT_EQ(after.timeouts, 0u);
    }
}

TEST_F(X11Clipboard, anOwnerThatNeverAnswersHoldsUpNothing) {
    QProcess& stopped = own("text/uri-list", "file:///stopped.jpg\r\n");
    {
        // It answers once, then stops answering; a copy elsewhere still comes through at once.
        const auto patient = watch(std::chrono::minutes(1));
        patient->readNow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !delivered_.empty(); }, 10000));
        ::kill(static_cast<pid_t>(stopped.processId()), SIGSTOP);
        const std::uint64_t asked = patient->counters().asked;
        patient->readNow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return patient->counters().asked > asked; }, 10000));
        const Urls later{"file:///later.jpg"};
        own("x-special/gnome-copied-files", "copy\n" + QByteArray::fromStdString(later[0]));
        EXPECT_TRUE(QTest::qWaitFor([&] { return delivered_.back() == later; }, 10000));
        EXPECT_EQ(patient->counters().timeouts, 0u);
    }
    // At start-up, with a stopped owner: the watch returns at once and its reader gives up.
    ::kill(static_cast<pid_t>(owners_.back()->processId()), SIGSTOP);
    delivered_.clear();
    const auto impatient = watch(std::chrono::milliseconds(500));
    impatient->readNow();
    EXPECT_EQ(impatient->counters().timeouts, 0u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return impatient->counters().timeouts == 1; }, 10000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(delivered_.empty());
}

}  // namespace
}  // namespace quillory::qt

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no server.
    std::optional<quillory::qt::XServer> server;
    if (!::testing::GTEST_FLAG(list_tests)) {
        server.emplace();
        quillory::qt::server = &*server;
    }
    const bool haveServer = server && server->problem.empty();
    if (haveServer) ::setenv("DISPLAY", server->display.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", haveServer ? "xcb" : "offscreen", 1);
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
