#include "platform/instance/single_instance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSysInfo>
#include <QTimer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>

#include "platform/instance/handover_protocol.h"

namespace quillory::instance {

namespace {

constexpr int kRetryMs = 50;
// A peer gets this long between bytes; a real hand-over sends its whole message at once.
constexpr int kIdleMs = 1000;
constexpr std::size_t kMaxWaitingConnections = 8;
constexpr qsizetype kMaxAnswerBytes = 16;

// The folder exists, is ours, and nobody else may enter it.
bool makePrivateFolder(const QString& path, QString* why) {
    // The cache folder may not exist yet; a missing one is made private, as it should be.
    ::mkdir(QFile::encodeName(QFileInfo(path).path()).constData(), 0700);
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

// A local socket's whole path must fit in sockaddr_un, or neither side can use it.
bool socketPathFits(const QString& path) {
    return static_cast<std::size_t>(QFile::encodeName(path).size()) < sizeof(sockaddr_un::sun_path);
}

QString tooLong(const QString& path) {
    return QStringLiteral("the socket path %1 is longer than the %2 bytes the system allows")
        .arg(path)
        .arg(sizeof(sockaddr_un::sun_path) - 1);
}

// Letters, digits, dots and dashes; anything else becomes '_'.
QString fileNamePart(const QByteArray& text) {
    QString part;
    for (const char c : text.left(48)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '.' || c == '-';
        part += plain ? QChar::fromLatin1(c) : QChar(u'_');
    }
    return part;
}

// "instance-x11_0" for DISPLAY=:0 or :0.1 (screens of one display), "instance-wl_wayland-0" for
// a Wayland-only session: two desktops of one user never share an instance.
QString instanceName() {
    QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
        return QStringLiteral("instance-") + (wayland.isEmpty()
                                                  ? QStringLiteral("nodisplay")
                                                  : QStringLiteral("wl_") + fileNamePart(wayland));
    }
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = display.indexOf('.', colon);
    if (colon >= 0 && dot > colon) display.truncate(dot);
    return QStringLiteral("instance-x11") + fileNamePart(display);
}

QByteArray bytes(std::string_view text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

SingleInstance::SingleInstance(QString folder) : folder_(std::move(folder)), name_(instanceName()) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultFolder() {
    QStringList folders;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime)) folders << runtime + QStringLiteral("/quillory");
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || !QDir::isAbsolutePath(cache)) cache = QDir::homePath() + QStringLiteral("/.cache");
    // A home folder may be shared between machines; a lock of another one says nothing here.
    folders << cache + QStringLiteral("/quillory-") + fileNamePart(QSysInfo::machineHostName().toUtf8());
    const QString socket = QStringLiteral("/") + instanceName() + QStringLiteral(".socket");
    for (const QString& folder : folders) {
        if (socketPathFits(folder + socket)) return folder;
    }
    return folders.front();
}

QString SingleInstance::socketPath() const {
    return folder_ + QStringLiteral("/") + name_ + QStringLiteral(".socket");
}

QString SingleInstance::lockPath() const {
    return folder_ + QStringLiteral("/") + name_ + QStringLiteral(".lock");
}

SingleInstance::Role SingleInstance::claim(QString* why) {
    if (!makePrivateFolder(folder_, why)) return Role::unavailable;
    if (!socketPathFits(socketPath())) {
        *why = tooLong(socketPath());
        return Role::unavailable;
    }
    lock_ = std::make_unique<QLockFile>(lockPath());
    lock_->setStaleLockTime(0);  // stale only when its process is gone, however old
    if (!lock_->tryLock(0)) {
        const bool held = lock_->error() == QLockFile::LockFailedError;
        lock_.reset();
        if (held) return Role::secondary;
        *why = QStringLiteral("cannot create the lock file %1").arg(lockPath());
        return Role::unavailable;
    }
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath());  // left by an instance that crashed; we hold the lock
    if (!server_->listen(socketPath())) {
        *why = QStringLiteral("cannot listen on %1: %2").arg(socketPath(), server_->errorString());
        // A lock without a listener would leave every later instance waiting for an answer.
        server_.reset();
        lock_.reset();
        return Role::unavailable;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) serve(socket);
    });
    return Role::primary;
}

void SingleInstance::serve(QLocalSocket* socket) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // The oldest peer still sending makes room: idle peers cannot keep a real hand-over out.
    std::erase_if(waiting_, [](const QPointer<QLocalSocket>& peer) { return peer.isNull(); });
    if (waiting_.size() >= kMaxWaitingConnections) {
        const QPointer<QLocalSocket> oldest = waiting_.front();
        waiting_.pop_front();
        if (oldest) oldest->abort();
    }
    waiting_.emplace_back(socket);
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    auto decoder = std::make_shared<HandoverDecoder>();
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket, decoder, idle] {
        const QByteArray chunk = socket->readAll();
        if (decoder->result() != HandoverDecoder::Result::incomplete) return;  // draining, see below
        idle->start(kIdleMs);
        const auto result =
            decoder->feed(std::string_view(chunk.constData(), static_cast<std::size_t>(chunk.size())));
        if (result == HandoverDecoder::Result::incomplete) return;
        std::erase_if(waiting_, [socket](const QPointer<QLocalSocket>& peer) { return peer == socket; });
        if (result == HandoverDecoder::Result::accepted) {
            idle->stop();
            socket->write(bytes(kHandoverAccepted));
            socket->disconnectFromServer();
            if (receiver_) receiver_(decoder->urls());
            return;
        }
        std::cerr << "quillory: rejected a hand-over: " << decoder->problem() << std::endl;
        // Closing with the rest of the message unread would reset the connection before the peer
        // reads the answer: read and drop it until the peer closes, for a second at most.
        socket->write(bytes(kHandoverRejected));
        idle->start(kIdleMs);
    });
    connect(idle, &QTimer::timeout, socket, [socket, decoder] {
        const bool reading = decoder->result() == HandoverDecoder::Result::incomplete;
        if (reading) socket->waitForReadyRead(0);  // bytes that came while the program was busy count
        if (!reading || decoder->result() == HandoverDecoder::Result::incomplete) socket->abort();
    });
    idle->start(kIdleMs);
}

bool SingleInstance::handOver(const std::vector<std::string>& urls, int timeoutMs, QString* why) {
    if (!socketPathFits(socketPath())) {
        *why = tooLong(socketPath());
        return false;
    }
    const QByteArray message = bytes(encodeHandover(urls));
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        switch (attempt(message, static_cast<int>(deadline.remainingTime()), why)) {
            case Attempt::accepted:
                return true;
            case Attempt::rejected:
                *why = QStringLiteral("the running Quillory rejected the files");
                return false;
            case Attempt::failed:
                return false;
            case Attempt::retry:
                break;
        }
        // Starting, or busy with other peers: try again while there is time.
        if (deadline.remainingTime() <= kRetryMs) break;
        QEventLoop pause;
        QTimer::singleShot(kRetryMs, &pause, &QEventLoop::quit);
        pause.exec();
    }
    *why = QStringLiteral("the running Quillory did not answer");
    return false;
}

SingleInstance::Attempt SingleInstance::attempt(const QByteArray& message, int remainingMs,
                                                QString* why) const {
    QEventLoop loop;
    QLocalSocket socket;
    QByteArray answer;
    std::optional<Attempt> outcome;
    auto finish = [&](Attempt result) {
        if (outcome) return;
        outcome = result;
        loop.quit();
    };
    auto takeAnswer = [&] {
        if (socket.bytesAvailable() > 0) answer += socket.readAll();
        if (answer == bytes(kHandoverAccepted)) return finish(Attempt::accepted);
        if (answer == bytes(kHandoverRejected)) return finish(Attempt::rejected);
        if (answer.endsWith('\n') || answer.size() > kMaxAnswerBytes) {
            *why = QStringLiteral("the running Quillory gave an answer it should not");
            finish(Attempt::failed);
        }
    };
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, [&] { finish(Attempt::retry); });
    connect(&socket, &QLocalSocket::connected, &loop, [&] { socket.write(message); });
    connect(&socket, &QLocalSocket::readyRead, &loop, takeAnswer);
    connect(&socket, &QLocalSocket::errorOccurred, &loop, [&](QLocalSocket::LocalSocketError error) {
        takeAnswer();
        if (error == QLocalSocket::SocketAccessError) {
            *why = QStringLiteral("cannot reach the running Quillory: %1").arg(socket.errorString());
            return finish(Attempt::failed);
        }
        // Not listening yet, or closed without an answer to make room for another peer.
        finish(Attempt::retry);
    });
    deadline.start(std::max(remainingMs, 0));
    socket.connectToServer(socketPath());
    if (!outcome) loop.exec();
    socket.disconnect();  // nothing below may reach the locals the handlers use
    socket.abort();
    return *outcome;
}

}  // namespace quillory::instance
