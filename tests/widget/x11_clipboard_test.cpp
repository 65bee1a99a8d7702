// The clipboard: the file lists of every file manager's format, then on a real X server: a private
// Xvfb, owners played by xclip (stopped with SIGSTOP to play one that never answers), and the
// watch the tray uses, on Qt's xcb platform.
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>

#include "platform/selection/clipboard_formats.h"
#include "platform/selection/clipboard_watch.h"

namespace quillory::selection {
namespace {

using Urls = std::vector<std::string>;
std::string noXServer = "no X server";

TEST(ClipboardFiles, readEveryFileManagersCopyFormat) {
    const std::string a = "file:///home/me/a.jpg", b = "file:///home/me/My%20b.CR2";
    std::string big;
    while (big.size() <= kMaxPlainTextBytes) big += a + "\n";
    const std::pair<ClipboardFormats, std::optional<Urls>> cases[] = {
        {{{"x-special/gnome-copied-files", "cut\n" + a + "\n" + b + std::string(1, '\0')}}, Urls{a, b}},
        {{{"text/uri-list", "# from Dolphin\r\n" + a + "\r\n" + b + "\r\n"}}, Urls{a, b}},
        {{{"text/plain", "x-special/nautilus-clipboard\ncopy\n" + a + "\n"}}, Urls{a}},
        {{{"text/plain", a + "\n" + b}}, Urls{a, b}},
        {{{"text/plain", big}}, std::nullopt},  // over a mebibyte: not worth reading as text
        {{{"text/uri-list", big}}, Urls(big.size() / (a.size() + 1), a)},
        {{{"text/plain", "hello " + a}}, std::nullopt}};
    for (const auto& [formats, files] : cases) EXPECT_EQ(copiedFiles(formats), files) << formats.size();
}

class X11Clipboard : public ::testing::Test {
protected:
    void SetUp() override {
        if (!noXServer.empty()) GTEST_SKIP() << noXServer;
        if (QStandardPaths::findExecutable("xclip").isEmpty()) GTEST_SKIP() << "xclip is not installed";
    }
    void TearDown() override {
        for (auto& owner : owners_)
            owner->kill(), owner->waitForFinished(5000);  // SIGKILL ends a stopped one too
    }

    std::unique_ptr<ClipboardWatch> watch(std::chrono::milliseconds timeout) {
        return std::make_unique<ClipboardWatch>(
            *QGuiApplication::clipboard(), [this](Urls urls) { delivered_.push_back(std::move(urls)); },
            timeout);
    }

    // Puts `bytes` on the clipboard as `target`, in xclip; it serves until another owner takes over.
    QProcess& own(const char* target, const QByteArray& bytes) {
        auto& owner = *owners_.emplace_back(std::make_unique<QProcess>());
        owner.start("xclip", {"-quiet", "-selection", "clipboard", "-t", target});
        owner.write(bytes);
        owner.closeWriteChannel();
        return owner;
    }

    // Waits on what the reader reports, never on the clock; generous, for a loaded machine.
    static bool eventually(const std::function<bool()>& condition) {
        return QTest::qWaitFor(condition, 30000);
    }

    std::vector<std::unique_ptr<QProcess>> owners_;
    std::vector<Urls> delivered_;
};

TEST_F(X11Clipboard, fetchesOnlyTheFormatItNeedsAndRefusesWhatIsTooLarge) {
    const QByteArray line = "file:///photos/IMG_0042-abc.JPG\n";  // 32 bytes
    const QByteArray mebibyte = line.repeated(1 << 15), uris = line.repeated(3 << 14);
    const std::tuple<const char*, QByteArray, std::vector<Urls>, bool> cases[] = {
        // delivered, refused
        {"x-special/gnome-copied-files", "copy\nfile:///a.jpg", {{"file:///a.jpg"}}, false},
        {"text/uri-list",
         uris,
         {Urls(3 << 14, line.trimmed().toStdString())},
         false},  // by xclip's incremental transfer
        {"UTF8_STRING", mebibyte, {Urls(1 << 15, line.trimmed().toStdString())}, false},
        {"UTF8_STRING", mebibyte + "\n", {}, true}};  // plain text over a mebibyte
    const auto watching = watch(ClipboardWatch::kReplyTimeout);
    for (const auto& [target, bytes, files, refused] : cases) {
        const ClipboardCounters before = watching->counters();
        delivered_.clear();
        own(target, bytes);
        ASSERT_TRUE(eventually([&] { return watching->counters().reads > before.reads; }));
        QCoreApplication::processEvents();  // the delivery, queued before the count
        const ClipboardCounters after = watching->counters();
        EXPECT_EQ(delivered_, files) << target << " " << bytes.size();
        EXPECT_EQ(after.asked - before.asked, 2u);  // the targets, then one format: xclip offers no other
        EXPECT_EQ(after.refused - before.refused, refused ? 1u : 0u);
    }
}

TEST_F(X11Clipboard, anOwnerThatNeverAnswersHoldsUpNothing) {
    {
        // An owner answers once, then stops: a read of it returns at once, and a copy elsewhere
        // still comes through while the reader waits on it.
        const auto patient = watch(std::chrono::minutes(1));
        QProcess& stopped = own("text/uri-list", "file:///stopped.jpg\r\n");
        ASSERT_TRUE(eventually([&] { return !delivered_.empty(); }));
        ::kill(static_cast<pid_t>(stopped.processId()), SIGSTOP);
        const std::uint64_t asked = patient->counters().asked;
        patient->readNow();
        ASSERT_TRUE(eventually([&] { return patient->counters().asked > asked; }));
        own("x-special/gnome-copied-files", "copy\nfile:///later.jpg");
        EXPECT_TRUE(eventually([&] { return delivered_.back() == Urls{"file:///later.jpg"}; }));
        EXPECT_EQ(patient->counters().timeouts, 0u);
    }
    // At start-up, with a stopped owner: the reader gives up on it and delivers nothing.
    ::kill(static_cast<pid_t>(owners_.back()->processId()), SIGSTOP);
    delivered_.clear();
    const auto impatient = watch(std::chrono::milliseconds(500));
    impatient->readNow();
    ASSERT_TRUE(eventually([&] { return impatient->counters().timeouts == 1; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(delivered_.empty());
}

}  // namespace
}  // namespace quillory::selection

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QProcess xvfb;                             // started before the application, which needs its display
    if (!::testing::GTEST_FLAG(list_tests)) {  // listing the tests needs no server
        xvfb.setStandardErrorFile(QProcess::nullDevice());  // complaints about others' displays
        xvfb.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        // It writes its display's number and a newline once it takes clients.
        xvfb.start("Xvfb", {"-displayfd", "1", "-screen", "0", "320x240x24", "-nolisten", "tcp"});
        xvfb.waitForReadyRead(30000);
        const QByteArray number = xvfb.readLine().trimmed();
        quillory::selection::noXServer = number.isEmpty() ? "Xvfb is not installed or did not start" : "";
        if (!number.isEmpty()) qputenv("DISPLAY", ":" + number);
    }
    qputenv("QT_QPA_PLATFORM", quillory::selection::noXServer.empty() ? "xcb" : "offscreen");
    int failed = 0;
    {
        QGuiApplication app(argc, argv);
        failed = RUN_ALL_TESTS();
    }
    xvfb.terminate();
    xvfb.waitForFinished();
    return failed;
}
