#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace quillory::qt {

// One Quillory per user and desktop: a lock file and a local socket in a user-only folder. The
// first instance (primary) listens; a later one (secondary) hands its files over and ends.
class SingleInstance final : public QObject {
public:
    enum class Role { primary, secondary, unavailable };

    // `folder` holds the lock and the socket; it is created user-only when missing.
    explicit SingleInstance(QString folder);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/quillory, or a quillory-<uid> folder in the temporary folder.
    static QString defaultFolder();

    // Primary: took the lock and listens. Secondary: a live instance holds the lock.
    // Unavailable: the folder is not private or lock or socket failed; `why` says why.
    Role claim(QString* why);
    // Primary: receives the files of every accepted hand-over (an empty list: just open).
    void setReceiver(std::function<void(std::vector<std::string>)> receiver) {
        receiver_ = std::move(receiver);
    }
    // Secondary: hands `urls` to the primary and waits up to `timeoutMs` for its answer, trying
    // again while the primary is still starting. The event loop runs meanwhile.
    bool handOver(const std::vector<std::string>& urls, int timeoutMs, QString* why);

    QString socketPath() const;
    QString lockPath() const;

private:
    void serve(QLocalSocket* socket);

    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
    std::function<void(std::vector<std::string>)> receiver_;
};

}  // namespace quillory::qt
