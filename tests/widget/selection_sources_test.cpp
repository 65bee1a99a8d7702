// The Linux sources of "the selection" on Qt: the clipboard's change signal, and the single
// instance that takes files from a second `quillory FILE...` over its local socket.
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/qt/clipboard_watch.h"
#include "platform/qt/handover_protocol.h"
#include "platform/qt/single_instance.h"
#include "widget_support.h"

namespace quillory::qt {
namespace {

using testing::eventually;
using Urls = std::vector<std::string>;

TEST(ClipboardWatch, reportsFileListsAndIgnoresEverythingElse) {
    QClipboard& clipboard = *QGuiApplication::clipboard();
    auto put = [&](const char* format, const QByteArray& bytes) {
        auto* data = new QMimeData;  // the clipboard takes it
        data->setData(QString::fromLatin1(format), bytes);
        clipboard.setMimeData(data);
    };
    put("text/uri-list", "file:///before.jpg\r\n");
    std::vector<Urls> reported;
    ClipboardWatch watch(clipboard, [&](Urls urls) { reported.push_back(std::move(urls)); });
    // At start-up the clipboard is read later, never while the caller waits.
    watch.readNow();
    EXPECT_TRUE(reported.empty());
    EXPECT_TRUE(eventually([&] { return !reported.empty(); }));

    put("x-special/gnome-copied-files", "copy\nfile:///a.jpg\nfile:///b.jpg");
    put("text/uri-list", "file:///c.CR2\r\n");
    clipboard.setText(QStringLiteral("some words"));
    clipboard.clear();
    EXPECT_TRUE(eventually([&] { return reported.size() >= 3; }));
    EXPECT_EQ(reported, (std::vector<Urls>{
                            {"file:///before.jpg"}, {"file:///a.jpg", "file:///b.jpg"}, {"file:///c.CR2"}}));
}

struct InstanceFolder {
    QTemporaryDir parent;
    QString folder = parent.path() + QStringLiteral("/quillory");
};

// Sets environment variables (null: unsets) for one test and puts them back after it.
struct Environment {
    void set(const char* name, const QByteArray& value) {
        saved.try_emplace(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    ~Environment() {
        for (const auto& [name, value] : saved) {
            value.isNull() ? qunsetenv(name.c_str()) : qputenv(name.c_str(), value);
        }
    }
    std::map<std::string, QByteArray> saved;
};

TEST(SingleInstance, theSecondHandsItsFilesToTheFirst) {
    InstanceFolder place;
    SingleInstance first(place.folder);
    QString why;
    ASSERT_EQ(first.claim(&why), SingleInstance::Role::primary) << why.toStdString();
    std::vector<Urls> received;
    first.setReceiver([&](Urls urls) { received.push_back(std::move(urls)); });

    Urls many;
    for (int i = 1; i <= 1001; ++i) many.push_back("file:///p" + std::to_string(i) + ".jpg");
    const Urls handed[] = {{"file:///a.jpg", "file:///b%20c.CR2"}, {}, many, {"file:///lat%E9/a.jpg"}};
    SingleInstance second(place.folder);
    ASSERT_EQ(second.claim(&why), SingleInstance::Role::secondary);
    for (const Urls& urls : handed) {
        EXPECT_TRUE(second.handOver(urls, 5000, &why)) << why.toStdString();
    }
    EXPECT_EQ(received, std::vector<Urls>(std::begin(handed), std::end(handed)));
}

TEST(SingleInstance, takesOverALockWhoseProcessIsGone) {
    InstanceFolder place;
    ASSERT_TRUE(QDir().mkpath(place.folder));
    QFile::setPermissions(place.folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    SingleInstance next(place.folder);
    {
        // What a crashed instance leaves: a lock naming a process that no longer exists.
        QFile lock(next.lockPath());
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write("2147483646\n" + QCoreApplication::applicationName().toUtf8() + "\n" +
                   QSysInfo::machineHostName().toUtf8() + "\n");
    }
    QString why;
    EXPECT_EQ(next.claim(&why), SingleInstance::Role::primary) << why.toStdString();
}

TEST(SingleInstance, usesOnlyAPrivateFolderOfItsOwn) {
    using Role = SingleInstance::Role;
    struct Case {
        const char* name;
        std::function<bool(const QString& folder)> prepare;  // none: not even its parent exists
        Role role;
    };
    const auto folderWithMode = [](const QString& folder, mode_t bits) {
        return QDir().mkdir(folder) && ::chmod(QFile::encodeName(folder).constData(), bits) == 0;
    };
    const bool superuser = ::getuid() == 0;
    const Case cases[] = {
        {"a file in its place", [](const QString& f) { return QFile(f).open(QIODevice::WriteOnly); },
         Role::unavailable},
        {"a link to another folder",
         [](const QString& f) { return QDir().mkdir(f + "-real") && QFile::link(f + "-real", f); },
         Role::unavailable},
        // Only the superuser can give a folder away; for others this is a plain private folder.
        {"a folder of another user",
         [&](const QString& f) {
             return folderWithMode(f, 0700) &&
                    (!superuser || ::chown(QFile::encodeName(f).constData(), 4242, 4242) == 0);
         },
         superuser ? Role::unavailable : Role::primary},
        {"a folder of ours others can enter", [&](const QString& f) { return folderWithMode(f, 0755); },
         Role::primary},
        {"a missing parent, as ~/.cache can be", nullptr, Role::primary},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir parent;
        const QString folder = parent.path() + QStringLiteral("/cache/quillory");
        if (c.prepare) {
            ASSERT_TRUE(QDir().mkdir(parent.path() + QStringLiteral("/cache")) && c.prepare(folder));
        }
        SingleInstance instance(folder);
        QString why;
        EXPECT_EQ(instance.claim(&why), c.role) << why.toStdString();
        EXPECT_EQ(why.isEmpty(), c.role == Role::primary);
        if (c.role == Role::primary) {
            struct stat info {};
            struct stat socket {};
            ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &info), 0);
            ASSERT_EQ(::stat(QFile::encodeName(instance.socketPath()).constData(), &socket), 0);
            EXPECT_EQ(info.st_mode & 0777, 0700u);
            EXPECT_EQ(socket.st_mode & 077, 0u);
        }
    }
}

// A primary that cannot listen lets go of the lock: later instances never wait on it.
TEST(SingleInstance, keepsNoLockWithoutASocket) {
    struct Case {
        const char* name;
        QString subfolder;
        bool folderInSocketsPlace;
    };
    const Case cases[] = {
        {"a socket path longer than the system allows", QString(100, u'd'), false},
        {"a folder where the socket belongs", QStringLiteral("quillory"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir parent;
        const QString folder = parent.path() + QStringLiteral("/") + c.subfolder;
        SingleInstance first(folder);
        if (c.folderInSocketsPlace) {
            ASSERT_TRUE(QDir().mkpath(first.socketPath() + QStringLiteral("/x")));
        }
        QString why;
        EXPECT_EQ(first.claim(&why), SingleInstance::Role::unavailable);
        EXPECT_FALSE(why.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(first.lockPath()));
        SingleInstance later(folder);
        EXPECT_EQ(later.claim(&why), SingleInstance::Role::unavailable) << why.toStdString();
    }
}

TEST(SingleInstance, isOnePerDisplay) {
    using Role = SingleInstance::Role;
    struct Case {
        QByteArray display;  // null: unset
        QByteArray wayland;
        QByteArray laterDisplay;
        QByteArray laterWayland;
        Role later;
    };
    const Case cases[] = {
        {":0", {}, ":1", {}, Role::primary},
        {":0", {}, ":0.1", {}, Role::secondary},  // another screen of the same display
        {"localhost:10.0", {}, "localhost:10", {}, Role::secondary},
        {{}, "wayland-0", {}, "wayland-1", Role::primary},
        {{}, "wayland-0", ":0", "wayland-0", Role::primary},
        {{}, "../x", {}, "../x", Role::secondary},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(
            (c.display + " " + c.wayland + " then " + c.laterDisplay + " " + c.laterWayland).toStdString());
        InstanceFolder place;
        Environment environment;
        environment.set("DISPLAY", c.display);
        environment.set("WAYLAND_DISPLAY", c.wayland);
        SingleInstance first(place.folder);
        QString why;
        ASSERT_EQ(first.claim(&why), Role::primary) << why.toStdString();
        EXPECT_TRUE(QFileInfo(first.socketPath()).path() == place.folder);  // a name, never a path
        environment.set("DISPLAY", c.laterDisplay);
        environment.set("WAYLAND_DISPLAY", c.laterWayland);
        SingleInstance later(place.folder);
        EXPECT_EQ(later.claim(&why), c.later) << why.toStdString();
    }
}

TEST(SingleInstance, keepsItsFolderWhereOnlyThisUserCanCreateIt) {
    QTemporaryDir home;
    const QString runtime = home.path() + QStringLiteral("/run");
    const QString cache = home.path() + QStringLiteral("/cache");
    struct Case {
        const char* name;
        QByteArray runtime;
        QByteArray cache;
        QString folderStart;
    };
    const Case cases[] = {
        {"the runtime folder", runtime.toUtf8(), cache.toUtf8(), runtime + QStringLiteral("/quillory")},
        {"no runtime folder", {}, cache.toUtf8(), cache + QStringLiteral("/quillory-")},
        {"a relative runtime folder", "run", cache.toUtf8(), cache + QStringLiteral("/quillory-")},
        {"a runtime folder too deep for a socket", (runtime + QString(100, u'r')).toUtf8(), cache.toUtf8(),
         cache + QStringLiteral("/quillory-")},
        {"no cache folder named", {}, {}, home.path() + QStringLiteral("/.cache/quillory-")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Environment environment;
        environment.set("HOME", home.path().toUtf8());
        environment.set("XDG_RUNTIME_DIR", c.runtime);
        environment.set("XDG_CACHE_HOME", c.cache);
        const QString folder = SingleInstance::defaultFolder();
        EXPECT_TRUE(folder.startsWith(c.folderStart)) << folder.toStdString();
        EXPECT_FALSE(folder.mid(c.folderStart.size()).contains(u'/')) << folder.toStdString();
    }
}

// Sends `bytes` to the primary as a hostile or broken client might, and reads its answer line.
QByteArray exchange(const QString& socketPath, const QByteArray& bytes) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(2000)) return "(no connection)";
    socket.write(bytes);
    QByteArray answer;
    eventually([&] {
        if (socket.bytesAvailable() > 0) answer += socket.readAll();
        return answer.endsWith('\n') || socket.state() == QLocalSocket::UnconnectedState;
    });
    return answer;
}

QByteArray framed(const QByteArray& payload) {
    return QByteArray(kHandoverHeader.data(), static_cast<qsizetype>(kHandoverHeader.size())) + " " +
           QByteArray::number(payload.size()) + "\n" + payload;
}

TEST(SingleInstance, rejectsMalformedMessagesWithoutHarm) {
    InstanceFolder place;
    SingleInstance first(place.folder);
    QString why;
    ASSERT_EQ(first.claim(&why), SingleInstance::Role::primary);
    std::vector<Urls> received;
    first.setReceiver([&](Urls urls) { received.push_back(std::move(urls)); });
    const QByteArray messages[] = {
        "GET / HTTP/1.1\r\n\r\n",
        framed("https://example.org/a.jpg\n"),
        framed("/etc/passwd\n"),
        framed(QByteArray(static_cast<qsizetype>(kMaxHandoverBytes) + 16, 'x')),
    };
    for (const QByteArray& message : messages) {
        SCOPED_TRACE(message.left(40).toStdString());
        EXPECT_EQ(exchange(first.socketPath(), message), QByteArray("rejected\n"));
    }
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(exchange(first.socketPath(), framed("file:///ok.jpg\n")), QByteArray("ok\n"));
    EXPECT_EQ(received, (std::vector<Urls>{{"file:///ok.jpg"}}));
}

// Peers that connect and say nothing are cut off, and never keep a real hand-over out.
TEST(SingleInstance, idlePeersNeitherLingerNorBlockAHandOver) {
    InstanceFolder place;
    SingleInstance first(place.folder);
    QString why;
    ASSERT_EQ(first.claim(&why), SingleInstance::Role::primary);
    std::vector<Urls> received;
    first.setReceiver([&](Urls urls) { received.push_back(std::move(urls)); });
    std::vector<std::unique_ptr<QLocalSocket>> idle;
    for (int i = 0; i < 12; ++i) {
        idle.push_back(std::make_unique<QLocalSocket>());
        idle.back()->connectToServer(first.socketPath());
        ASSERT_TRUE(idle.back()->waitForConnected(2000));
    }
    idle.back()->write(framed("file:///half.jpg\n").left(20));  // and one that stops halfway
    SingleInstance second(place.folder);
    // Less time than idle peers get: the room must come from the oldest of them, not from waiting.
    EXPECT_TRUE(second.handOver({"file:///a.jpg"}, 500, &why)) << why.toStdString();
    EXPECT_TRUE(eventually([&] {
        return std::all_of(idle.begin(), idle.end(),
                           [](const auto& peer) { return peer->state() == QLocalSocket::UnconnectedState; });
    }));
    EXPECT_EQ(received, (std::vector<Urls>{{"file:///a.jpg"}}));
}

// A primary that is not listening yet, or closes connections while busy, is tried again.
TEST(SingleInstance, handOverTriesAgainWhileThePrimaryIsBusy) {
    struct Case {
        const char* name;
        int listenAfterMs;  // -1: at once
        int closedUnanswered;
    };
    const Case cases[] = {
        {"closes three connections first", -1, 3},
        {"starts listening later", 300, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstanceFolder place;
        ASSERT_TRUE(QDir().mkpath(place.folder));
        SingleInstance second(place.folder);
        QLocalServer primary;
        int connections = 0;
        QByteArray received;
        QObject::connect(&primary, &QLocalServer::newConnection, &primary, [&] {
            while (QLocalSocket* peer = primary.nextPendingConnection()) {
                QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
                if (++connections <= c.closedUnanswered) {
                    peer->abort();
                    continue;
                }
                QObject::connect(peer, &QLocalSocket::readyRead, peer, [&received, peer] {
                    received += peer->readAll();
                    if (!received.endsWith('\n')) return;
                    peer->write("ok\n");
                    peer->disconnectFromServer();
                });
            }
        });
        const auto listen = [&] { ASSERT_TRUE(primary.listen(second.socketPath())); };
        if (c.listenAfterMs < 0) {
            listen();
        } else {
            QTimer::singleShot(c.listenAfterMs, &primary, listen);
        }
        QString why;
        EXPECT_TRUE(second.handOver({"file:///a.jpg"}, 5000, &why)) << why.toStdString();
        EXPECT_EQ(connections, c.closedUnanswered + 1);
        EXPECT_EQ(received.toStdString(), encodeHandover({"file:///a.jpg"}));
    }
}

}  // namespace
}  // namespace quillory::qt
