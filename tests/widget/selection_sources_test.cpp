// The Linux sources of "the selection" on Qt: the clipboard's change signal, and the single
// instance that takes files from a second `quillory FILE...` over its local socket.
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalSocket>
#include <QLockFile>
#include <QMimeData>
#include <QTemporaryDir>

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

TEST(SingleInstance, theSecondHandsItsFilesToTheFirst) {
    InstanceFolder place;
    SingleInstance first(place.folder);
    QString why;
    ASSERT_EQ(first.claim(&why), SingleInstance::Role::primary) << why.toStdString();
    std::vector<Urls> received;
    first.setReceiver([&](Urls urls) { received.push_back(std::move(urls)); });

    SingleInstance second(place.folder);
    ASSERT_EQ(second.claim(&why), SingleInstance::Role::secondary);
    EXPECT_TRUE(second.handOver({"file:///a.jpg", "file:///b%20c.CR2"}, 5000, &why)) << why.toStdString();
    EXPECT_TRUE(second.handOver({}, 5000, &why)) << why.toStdString();
    EXPECT_EQ(received, (std::vector<Urls>{{"file:///a.jpg", "file:///b%20c.CR2"}, {}}));
}

TEST(SingleInstance, keepsItsLockAndSocketToTheUser) {
    InstanceFolder place;
    SingleInstance first(place.folder);
    QString why;
    ASSERT_EQ(first.claim(&why), SingleInstance::Role::primary);
    struct stat folder {};
    struct stat socket {};
    ASSERT_EQ(::stat(QFile::encodeName(place.folder).constData(), &folder), 0);
    ASSERT_EQ(::stat(QFile::encodeName(first.socketPath()).constData(), &socket), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(socket.st_mode & 077, 0u);
}

TEST(SingleInstance, takesOverALockWhoseProcessIsGone) {
    InstanceFolder place;
    ASSERT_TRUE(QDir().mkpath(place.folder));
    QFile::setPermissions(place.folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    {
        // What a crashed instance leaves: a lock naming a process that no longer exists.
        QFile lock(place.folder + QStringLiteral("/instance.lock"));
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write("2147483646\n" + QCoreApplication::applicationName().toUtf8() + "\n" +
                   QSysInfo::machineHostName().toUtf8() + "\n");
    }
    SingleInstance next(place.folder);
    QString why;
    EXPECT_EQ(next.claim(&why), SingleInstance::Role::primary) << why.toStdString();
}

TEST(SingleInstance, refusesAFolderOthersCanEnterWhenItCannotFixIt) {
    InstanceFolder place;
    // A file where the folder should be: nobody's private folder.
    QFile squatter(place.folder);
    ASSERT_TRUE(squatter.open(QIODevice::WriteOnly));
    SingleInstance instance(place.folder);
    QString why;
    EXPECT_EQ(instance.claim(&why), SingleInstance::Role::unavailable);
    EXPECT_FALSE(why.isEmpty());
}

// Talks to the primary byte by byte, as a hostile or broken client might.
QByteArray exchange(const QString& socketPath, const QByteArray& bytes) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(2000)) return "(no connection)";
    socket.write(bytes);
    QByteArray answer;
    eventually([&] {
        answer += socket.readAll();
        return socket.state() == QLocalSocket::UnconnectedState;
    });
    return answer + socket.readAll();
}

TEST(SingleInstance, rejectsMalformedMessagesWithoutHarm) {
    InstanceFolder place;
    SingleInstance first(place.folder);
    QString why;
    ASSERT_EQ(first.claim(&why), SingleInstance::Role::primary);
    std::vector<Urls> received;
    first.setReceiver([&](Urls urls) { received.push_back(std::move(urls)); });
    const QByteArray header = QByteArray(kHandoverHeader.data()) + "\n";
    const QByteArray messages[] = {
        "GET / HTTP/1.1\r\n\r\n",
        header + "https://example.org/a.jpg\n\n",
        header + "/etc/passwd\n\n",
        header + QByteArray(static_cast<qsizetype>(kMaxHandoverBytes) + 16, 'x'),
    };
    for (const QByteArray& message : messages) {
        SCOPED_TRACE(message.left(40).toStdString());
        EXPECT_EQ(exchange(first.socketPath(), message), QByteArray("rejected\n"));
    }
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(exchange(first.socketPath(), header + "file:///ok.jpg\n\n"), QByteArray("ok\n"));
    EXPECT_EQ(received, (std::vector<Urls>{{"file:///ok.jpg"}}));
}

}  // namespace
}  // namespace quillory::qt
