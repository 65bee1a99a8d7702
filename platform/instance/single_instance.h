#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace quillory::instance {

// One Quillory per user and desktop: a lock file and a local socket in a user-only folder, both
// named after the display ($DISPLAY, else $WAYLAND_DISPLAY) as it is when constructed. The first
// instance (primary) listens; a later one (secondary) hands its files over and ends.
class SingleInstance final : public QObject {
public:
    enum class Role { primary, secondary, unavailable };

    // `folder` holds the lock and the socket; it is created user-only when missing.
    explicit SingleInstance(QString folder);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/quillory; else, or when a socket path there would be too long, a
    // quillory-<host> folder in $XDG_CACHE_HOME or ~/.cache (never a name others can take first).
    static QString defaultFolder();

    // Primary: took the lock and listens. Secondary: a live instance holds the lock.
    // Unavailable: the folder is not private or lock or socket failed; `why` says why. The lock is
    // kept only while the socket listens, so a later instance is never left waiting on a primary
    // that cannot answer.
    Role claim(QString* why);
    // Primary: receives the files of every accepted hand-over (an empty list: just open).
    void setReceiver(std::function<void(std::vector<std::string>)> receiver) {
        receiver_ = std::move(receiver);
    }
    // Secondary: hands `urls` to the primary and waits up to `timeoutMs` for its answer, trying
    // again while the primary is still starting or busy. The event loop runs meanwhile.
    bool handOver(const std::vector<std::string>& urls, int timeoutMs, QString* why);

    QString socketPath() const;
    QString lockPath() const;

private:
    enum class Attempt { accepted, rejected, retry, failed };

    void serve(QLocalSocket* socket);
    Attempt attempt(const QByteArray& message, int remainingMs, QString* why) const;

    QString folder_;
    QString name_;                                // "instance-<display>"
    std::deque<QPointer<QLocalSocket>> waiting_;  // connections whose message is not complete
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
    std::function<void(std::vector<std::string>)> receiver_;
};

}  // namespace quillory::instance
