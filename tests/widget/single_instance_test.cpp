// One Quillory per user and display: its lock and socket in a private folder, and a second
// `quillory FILE...` handing its files over that socket, in length-prefixed messages.
#include <QLocalServer>
#include <QLocalSocket>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/instance/handover_protocol.h"
#include "platform/instance/single_instance.h"
#include "platform/mac/finder_output.h"

namespace quillory::instance {
namespace {

using Role = SingleInstance::Role;
using Urls = std::vector<std::string>;

// Sets variables (null: unsets) for one test and puts them back after it.
struct Environment {
    void set(const char* name, const QByteArray& value) {
        saved.try_emplace(name, qgetenv(name));  // null when unset
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    ~Environment() {
        for (const auto& [name, value] : saved) set(name.c_str(), value);
    }
    std::map<std::string, QByteArray> saved;
};

// The folder must be this user's alone: repaired when others may enter it, refused when it is no
// folder of ours (a link is not followed). A primary that cannot listen keeps no lock.
TEST(SingleInstance, claimsOnlyAPrivateFolderAndASocketItCanListenOn) {
    const auto folder = [](const QString& f, mode_t mode) {
        return QDir().mkdir(f) && ::chmod(QFile::encodeName(f).constData(), mode) == 0;
    };
    const bool root = ::getuid() == 0;  // only the superuser can give a folder away
    const auto foreign = [&](auto& f, auto&) {
        return folder(f, 0700) && (!root || ::chown(qPrintable(f), 42, 42) == 0);
    };
    const std::tuple<QString, std::function<bool(const QString&, const QString&)>, Role, const char*>
        cases[] = {
            {"q", nullptr, Role::primary, ""},  // not even ~/.cache exists
            {"q", [&](auto& f, auto&) { return folder(f, 0755); }, Role::primary, ""},
            {"q", [](auto& f, auto&) { return QFile(f).open(QIODevice::WriteOnly); }, Role::unavailable,
             "not a folder"},
            {"q", [&](auto& f, auto&) { return folder(f + "2", 0700) && QFile::link(f + "2", f); },
             Role::unavailable, "not a folder"},
            {"q", foreign, root ? Role::unavailable : Role::primary, root ? "not a folder" : ""},
            {QString(100, u'q'), [](auto&, auto&) { return true; }, Role::unavailable, "than the 107 bytes"},
            {"q", [](auto&, auto& socket) { return QDir().mkpath(socket + "/x"); }, Role::unavailable,
             "cannot listen"}};
    for (const auto& [name, prepare, role, words] : cases) {
        QTemporaryDir parent;
        const QString path = parent.path() + "/cache/" + name;
        SingleInstance instance(path);
        ASSERT_TRUE(!prepare ||
                    (QDir().mkdir(parent.path() + "/cache") && prepare(path, instance.socketPath())));
        errno = ENOENT;  // left by an earlier call: the claim must read errno only after a failure
        QString why;
        EXPECT_EQ(instance.claim(&why), role) << why.toStdString();
        EXPECT_TRUE(why.contains(QLatin1String(words)) && why.isEmpty() == (role == Role::primary))
            << why.toStdString();
        if (role == Role::primary) {
            EXPECT_EQ(QFileInfo(path).permissions() & 0x7077, 0x7000);  // 0700
            EXPECT_EQ(QFileInfo(instance.socketPath()).permissions() & 0x0077, 0);
        } else {
            EXPECT_FALSE(QFileInfo::exists(instance.lockPath()));
            EXPECT_EQ(SingleInstance(path).claim(&why), Role::unavailable);
        }
    }
}

// A later instance on the same display hands its files to the first, over a socket named after the
// display; one on another display runs on its own.
TEST(SingleInstance, theSecondOnTheSameDisplayHandsItsFilesToTheFirst) {
    // DISPLAY and WAYLAND_DISPLAY of the first, then of a later instance ({}: unset); the second
    // row is two screens of one display.
    const std::tuple<QByteArray, QByteArray, QByteArray, QByteArray, Role> cases[] = {
        {":0", {}, ":1", {}, Role::primary},
        {"localhost:10.0", {}, "localhost:10.1", {}, Role::secondary},
        {{}, "wayland-0", {}, "wayland-1", Role::primary},
        {{}, "wayland-0", ":0", "wayland-0", Role::primary},
        {{}, "../x", {}, "../x", Role::secondary}};
    for (const auto& [display, wayland, laterDisplay, laterWayland, later] : cases) {
        QTemporaryDir place;
        Environment environment;
        environment.set("DISPLAY", display);
        environment.set("WAYLAND_DISPLAY", wayland);
        SingleInstance first(place.path());
        QFile lock(first.lockPath());  // what a crash leaves: the lock of a process that is gone
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write("2147483646\n" + QCoreApplication::applicationName().toUtf8() + "\n" +
                   QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        QString why;
        ASSERT_EQ(first.claim(&why), Role::primary) << why.toStdString();
        EXPECT_EQ(QFileInfo(first.socketPath()).path(), place.path());  // a name, never a path
        std::vector<Urls> received;
        first.setReceiver([&](Urls urls) { received.push_back(std::move(urls)); });
        environment.set("DISPLAY", laterDisplay);
        environment.set("WAYLAND_DISPLAY", laterWayland);
        SingleInstance second(place.path());
        ASSERT_EQ(second.claim(&why), later)
            << display.data() << wayland.data() << " then " << laterDisplay.data();
        if (later != Role::secondary) continue;
        const std::vector<Urls> handed = {
            {"file:///a.jpg", "file:///lat%E9/b%20c.CR2"}, {}, Urls(1001, "file:///p.jpg")};
        for (const Urls& urls : handed) EXPECT_TRUE(second.handOver(urls, 5000, &why)) << why.toStdString();
        EXPECT_EQ(received, handed);
    }
}

// $XDG_RUNTIME_DIR/quillory; else quillory-HOST in the cache folder, never a name in a folder
// where others could take it first.
TEST(SingleInstance, keepsItsFolderWhereOnlyThisUserCanCreateIt) {
    QTemporaryDir home;
    const QString run = home.path() + "/run", cache = home.path() + "/cache";
    // $XDG_RUNTIME_DIR, $XDG_CACHE_HOME, the folder's start; the third runtime folder is too deep
    // for a socket.
    const std::tuple<QString, QString, QString> cases[] = {
        {run, cache, run + "/quillory"},
        {"run", cache, cache + "/quillory-"},
        {run + QString(100, u'r'), cache, cache + "/quillory-"},
        {{}, {}, home.path() + "/.cache/quillory-"}};
    for (const auto& [runtime, cacheHome, start] : cases) {
        Environment environment;
        environment.set("HOME", home.path().toUtf8());
        environment.set("XDG_RUNTIME_DIR", runtime.toUtf8());
        environment.set("XDG_CACHE_HOME", cacheHome.toUtf8());
        const QString folder = SingleInstance::defaultFolder();
        EXPECT_TRUE(folder.startsWith(start) && !folder.mid(start.size()).contains(u'/'))
            << folder.toStdString();
    }
}

// Peers that say nothing, stop halfway or send junk are cut off, and never keep a real
// hand-over out.
TEST(SingleInstance, cutsOffPeersThatIdleOrSendJunk) {
    QTemporaryDir place;
    SingleInstance first(place.path());
    QString why;
    ASSERT_EQ(first.claim(&why), Role::primary);
    std::vector<Urls> received;
    first.setReceiver([&](Urls urls) { received.push_back(std::move(urls)); });
    std::vector<std::unique_ptr<QLocalSocket>> peers(12);
    for (auto& peer : peers) {
        peer = std::make_unique<QLocalSocket>();
        peer->connectToServer(first.socketPath());
        ASSERT_TRUE(peer->waitForConnected(2000));
    }
    peers[10]->write(QByteArray(kHandoverHeader.data()) + " 20\nfile:///");
    peers[11]->write("GET / HTTP/1.1\r\n\r\n");  // then stays, as if to say more
    // Less time than idle peers get: the room must come from the oldest of them, not from waiting.
    EXPECT_TRUE(SingleInstance(place.path()).handOver({"file:///a.jpg"}, 900, &why)) << why.toStdString();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return std::all_of(peers.begin(), peers.end(),
                               [](auto& peer) { return peer->state() == QLocalSocket::UnconnectedState; });
        },
        10000));
    EXPECT_EQ(peers[11]->readAll(), "rejected\n");
    EXPECT_EQ(received, (std::vector<Urls>{{"file:///a.jpg"}}));
}

// A primary that closes connections while busy is tried again; any answer but "ok" fails.
TEST(SingleInstance, handOverTriesAgainWhileThePrimaryIsBusy) {
    // Connections it closes unanswered, its answer, handed over.
    const std::tuple<int, QByteArray, bool> cases[] = {{3, "ok\n", true}, {0, "sure\n", false}};
    for (const auto& [closed, answer, handed] : cases) {
        QTemporaryDir place;
        SingleInstance second(place.path());
        QLocalServer primary;
        int connections = 0;
        QByteArray message;
        QObject::connect(&primary, &QLocalServer::newConnection, &primary, [&] {
            while (QLocalSocket* peer = primary.nextPendingConnection()) {
                QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
                if (++connections <= closed)
                    peer->abort();
                else
                    QObject::connect(peer, &QLocalSocket::readyRead, peer, [&, peer] {
                        message += peer->readAll();
                        if (message.endsWith('\n')) peer->write(answer), peer->disconnectFromServer();
                    });
            }
        });
        ASSERT_TRUE(primary.listen(second.socketPath()));
        QString why;
        EXPECT_EQ(second.handOver({"file:///a.jpg"}, 5000, &why), handed)
            << answer.data() << why.toStdString();
        EXPECT_EQ(connections, closed + 1);
        EXPECT_EQ(message.toStdString(), encodeHandover({"file:///a.jpg"}));
    }
}

std::string framed(const std::string& payload) {
    return std::string(kHandoverHeader) + " " + std::to_string(payload.size()) + "\n" + payload;
}

// Any number of files, however the bytes are cut up; over the limit the tail travels.
TEST(Handover, carriesAnyNumberOfFilesWhateverChunksTheBytesArriveIn) {
    Urls many(1001, "file:///photos/IMG_0042.JPG"), huge;
    for (int i = 100; i < 400; ++i)
        huge.push_back("file:///" + std::string(kMaxHandoverUrlBytes - 12, 'b') + std::to_string(i));
    const auto fit = static_cast<std::ptrdiff_t>(kMaxHandoverBytes / kMaxHandoverUrlBytes);
    const Urls some = {"file:///My%20b.CR2", "https://example.org/b.jpg", "file://localhost/lat%E9/c.jpg"};
    const std::pair<Urls, Urls> cases[] = {
        {some, {some[0], some[2]}}, {{}, {}}, {many, many}, {huge, Urls(huge.end() - fit, huge.end())}};
    for (const auto& [sent, received] : cases) {
        const std::string message = encodeHandover(sent);
        // A byte at a time, but for the 4 MiB message: that takes seconds unoptimised.
        for (std::size_t chunk : {sent.size() < 300 ? 1 : message.size(), std::size_t{4093}}) {
            HandoverDecoder decoder;
            for (std::size_t at = 0; at < message.size(); at += chunk)
                decoder.feed(std::string_view(message).substr(at, chunk));
            EXPECT_EQ(decoder.urls(), received) << sent.size() << " in chunks of " << chunk;
        }
    }
}

TEST(Handover, rejectsEverythingButLocalFileUrlsWithinTheLimits) {
    const std::string rejected[] = {
        "GET ",
        std::string(kHandoverHeader) + " -1\n",
        std::string(kHandoverHeader) + " " + std::to_string(kMaxHandoverBytes + 1) + "\n",
        framed("https://example.org/a.jpg\n"),
        framed("/home/me/a.jpg\nfile:///b.jpg\n"),
        framed("file:///My Photos/a.jpg\n"),
        framed("file:///a\x1b]0;PWNED\x07\xff" + std::string(400, 'z') + "\n"),
        framed("file:///a.jpg"),
        framed("file:///a.jpg\n") + "file:///b.jpg\n",
        framed("file:///" + std::string(kMaxHandoverUrlBytes, 'a') + "\n")};
    for (const std::string& bytes : rejected) {
        HandoverDecoder decoder;
        EXPECT_EQ(decoder.feed(bytes), HandoverDecoder::Result::rejected) << visibleBytes(bytes, 40);
        // The reason goes to the log: short, without the peer's raw control bytes.
        const std::string& why = decoder.problem();
        EXPECT_TRUE(!why.empty() && why.size() < 200 && why.find_first_of("\x1b\x07") == std::string::npos);
        EXPECT_EQ(decoder.feed(framed("file:///a.jpg\n")), HandoverDecoder::Result::rejected);  // for good
        EXPECT_TRUE(decoder.urls().empty());
    }
    EXPECT_EQ(HandoverDecoder().feed(framed("file:///a.jpg\n").substr(0, 20)),
              HandoverDecoder::Result::incomplete);
}

// Peer bytes reach the log visible and short; a backslash cannot forge an escape.
TEST(Handover, showsPeerBytesVisiblyAndTurnsArgumentsIntoFileUrls) {
    const std::pair<std::string, std::string> shown[] = {
        {"caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"},
        {"\x1b]0;\x07\r\x7f\xc2\x85", "\\x1b]0;\\x07\\x0d\\x7f\\xc2\\x85"},
        {"lat\xe9 \xc0\xaf\xed\xa0\x80", "lat\\xe9 \\xc0\\xaf\\xed\\xa0\\x80"},
        {"a\\x1b", "a\\x5cx1b"},
        {std::string(119, 'a') + "\xc3\xa9", std::string(119, 'a') + "\\xc3..."}};
    for (const auto& [bytes, text] : shown) EXPECT_EQ(visibleBytes(bytes), text);
    // A name that is not UTF-8 keeps its bytes; a URL must already be escaped.
    const std::pair<const char*, std::optional<std::string>> urls[] = {
        {"a.jpg", "file:///work/a.jpg"},
        {"../photos/My b.CR2", "file:///photos/My%20b.CR2"},
        {"./x/../a:b.jpg", "file:///work/a:b.jpg"},
        {"file://localhost/a.jpg", "file://localhost/a.jpg"},
        {"/lat\xe9/a.jpg", "file:///lat%E9/a.jpg"},
        {"https://example.org/a.jpg", std::nullopt},
        {"file:///My Photos/a.jpg", std::nullopt},
        {"", std::nullopt}};
    for (const auto& [argument, url] : urls)
        EXPECT_EQ(fileUrlForArgument(argument, "/work"), url) << argument;
}

}  // namespace
}  // namespace quillory::instance

// The Finder's answer on macOS, parsed everywhere: one URL a line, in its order.
TEST(FinderOutput, givesOneUrlPerLineInTheFindersOrder) {
    using Urls = std::vector<std::string>;
    const std::pair<const char*, Urls> cases[] = {
        {"", {}},
        {"\n", {}},
        {"file:///a.jpg", {"file:///a.jpg"}},
        {"file:///a.jpg\r\nnot a url\n\nfile:///P/\n", {"file:///a.jpg", "not a url", "file:///P/"}}};
    for (const auto& [output, urls] : cases)
        EXPECT_EQ(quillory::mac::parseFinderSelectionOutput(output), urls) << output;
}
