#include "platform/qt/qt_platform.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "platform/qt/x11_desktop.h"

namespace quillory::qt {

namespace {

constexpr int kTrayPollMs = 200;
constexpr int kWatcherAnswerMs = 2000;
const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

}  // namespace

QtPlatform::QtPlatform(const QtPlatformOptions& options)
    : statusBar(application, options.tray),
      windows(options.windows),
      defaults(options.appearanceOverride, options.portal) {}

platform::Platform QtPlatform::services() {
    return {application, runLoop,  animation, statusBar, screens, windows,
            images,      defaults, bundle,    log,       process};
}

std::optional<TrayKind> waitForSystemTray(double seconds) {
    const auto limit = static_cast<qint64>(QtRunLoop::toMilliseconds(seconds));
    std::optional<TrayKind> found;
    bool asking = false;
    QEventLoop loop;
    QElapsedTimer clock;
    QDBusConnection bus = QDBusConnection::sessionBus();
    // The watcher first: a desktop with both (Xfce's two plugins) reads our own item better.
    auto look = [&] {
        if (found || asking) return;
        if (!bus.isConnected()) {
            if (desktop::xembedTrayPresent()) found = TrayKind::xembed;
            return;
        }
        QDBusMessage get = QDBusMessage::createMethodCall(kWatcher, QStringLiteral("/StatusNotifierWatcher"),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
        asking = true;
        auto* answer = new QDBusPendingCallWatcher(bus.asyncCall(get, kWatcherAnswerMs), &loop);
        QObject::connect(answer, &QDBusPendingCallWatcher::finished, &loop,
                         [&](QDBusPendingCallWatcher* done) {
                             asking = false;
                             const QDBusPendingReply<QDBusVariant> reply = *done;
                             if (!reply.isError() && reply.value().variant().toBool()) {
                                 found = TrayKind::statusNotifier;
                             } else if (desktop::xembedTrayPresent()) {
                                 found = TrayKind::xembed;
                             }
                             done->deleteLater();
                             if (found) loop.quit();
                         });
    };
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        look();
        if (found || clock.elapsed() >= limit) loop.quit();
    });
    clock.start();
    look();
    if (found) return found;
    poll.start(kTrayPollMs);
    loop.exec();
    return found;
}

bool notifyNoTray(const QDBusConnection& bus, const QString& advice, int timeoutMs) {
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    QDBusMessage notify = QDBusMessage::createMethodCall(
        service, QStringLiteral("/org/freedesktop/Notifications"), service, QStringLiteral("Notify"));
    notify << QStringLiteral("Quillory") << 0u << QStringLiteral("quillory")
           << QStringLiteral("Quillory: no system tray is available")
           << advice.at(0).toUpper() + advice.mid(1) + '.' << QStringList() << QVariantMap() << -1;
    if (!bus.isConnected()) return false;
    QEventLoop loop;
    bool answered = false;
    auto* answer = new QDBusPendingCallWatcher(bus.asyncCall(notify, timeoutMs), &loop);
    QObject::connect(answer, &QDBusPendingCallWatcher::finished, &loop, [&](QDBusPendingCallWatcher* done) {
        answered = !done->isError();
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return answered;
}

}  // namespace quillory::qt
