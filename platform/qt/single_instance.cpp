#include "platform/qt/single_instance.h"

#include <QDir>
#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <iostream>

#include "platform/qt/handover_protocol.h"

namespace quillory::qt {

namespace {

constexpr int kConnectionDeadlineMs = 5000;
constexpr int kRetryMs = 50;
constexpr int kMaxOpenConnections = 8;

// The folder exists, is ours, and nobody else may enter it.
bool makePrivateFolder(const QString& path, QString* why) {
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        *why = QStringLiteral("cannot create %1").arg(path);
        return false;
    }
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        *why = QStringLiteral("%1 is not a folder of this user").arg(path);
        return false;
    }
    if ((info.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0) {
        *why = QStringLiteral("cannot make %1 private").arg(path);
        return false;
    }
    return true;
}

QByteArray bytes(std::string_view text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

SingleInstance::SingleInstance(QString folder) : folder_(std::move(folder)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime)) return runtime + QStringLiteral("/quillory");
    return QDir::tempPath() + QStringLiteral("/quillory-%1").arg(::getuid());
}

QString SingleInstance::socketPath() const {
    return folder_ + QStringLiteral("/instance.socket");
}

QString SingleInstance::lockPath() const {
    return folder_ + QStringLiteral("/instance.lock");
}

SingleInstance::Role SingleInstance::claim(QString* why) {
    if (!makePrivateFolder(folder_, why)) return Role::unavailable;
    lock_ = std::make_unique<QLockFile>(lockPath());
    lock_->setStaleLockTime(0);  // stale only when its process is gone, however old
    if (!lock_->tryLock(0)) {
        if (lock_->error() == QLockFile::LockFailedError) return Role::secondary;
        *why = QStringLiteral("cannot create the lock file %1").arg(lockPath());
        return Role::unavailable;
    }
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath());  // left by an instance that crashed; we hold the lock
    if (!server_->listen(socketPath())) {
        *why = QStringLiteral("cannot listen on %1: %2").arg(socketPath(), server_->errorString());
        server_.reset();
        return Role::unavailable;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) serve(socket);
    });
    return Role::primary;
}

void SingleInstance::serve(QLocalSocket* socket) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (server_->findChildren<QLocalSocket*>().size() > kMaxOpenConnections) {
        socket->abort();
        return;
    }
    QTimer::singleShot(kConnectionDeadlineMs, socket, [socket] { socket->abort(); });
    auto decoder = std::make_shared<HandoverDecoder>();
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket, decoder] {
        const QByteArray chunk = socket->readAll();
        if (decoder->result() != HandoverDecoder::Result::incomplete) return;
        const auto result =
            decoder->feed(std::string_view(chunk.constData(), static_cast<std::size_t>(chunk.size())));
        if (result == HandoverDecoder::Result::incomplete) return;
        const bool accepted = result == HandoverDecoder::Result::accepted;
        socket->write(bytes(accepted ? kHandoverAccepted : kHandoverRejected));
        socket->disconnectFromServer();
        if (!accepted) {
            std::cerr << "quillory: rejected a hand-over: " << decoder->problem() << std::endl;
        } else if (receiver_) {
            receiver_(decoder->urls());
        }
    });
}

bool SingleInstance::handOver(const std::vector<std::string>& urls, int timeoutMs, QString* why) {
    QEventLoop loop;
    QLocalSocket socket;
    QByteArray answer;
    bool finished = false;
    auto finish = [&] {
        finished = true;
        loop.quit();
    };
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, finish);
    connect(&socket, &QLocalSocket::connected, &loop, [&] { socket.write(bytes(encodeHandover(urls))); });
    connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
        answer += socket.readAll();
        if (answer.endsWith('\n')) finish();
    });
    connect(&socket, &QLocalSocket::errorOccurred, &loop, [&](QLocalSocket::LocalSocketError error) {
        answer += socket.readAll();
        const bool starting =
            error == QLocalSocket::ServerNotFoundError || error == QLocalSocket::ConnectionRefusedError;
        if (!starting) return finish();
        QTimer::singleShot(kRetryMs, &loop, [&] { socket.connectToServer(socketPath()); });
    });
    deadline.start(timeoutMs);
    socket.connectToServer(socketPath());
    if (!finished) loop.exec();
    if (answer == bytes(kHandoverAccepted)) return true;
    *why = answer == bytes(kHandoverRejected) ? QStringLiteral("the running Quillory rejected the files")
                                              : QStringLiteral("the running Quillory did not answer");
    return false;
}

}  // namespace quillory::qt
