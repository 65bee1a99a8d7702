#include "platform/qt/qt_platform.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSystemTrayIcon>
#include <QTimer>

namespace quillory::qt {

namespace {

constexpr int kTrayPollMs = 200;

}  // namespace

QtPlatform::QtPlatform(QtPlatformOptions options)
    : windows(std::move(options.windows)), defaults(std::move(options.appearanceOverride), options.portal) {}

platform::Platform QtPlatform::services() {
    return {application, runLoop,  animation, statusBar, screens, windows,
            images,      defaults, bundle,    log,       process};
}

bool waitForSystemTray(double seconds) {
    if (QSystemTrayIcon::isSystemTrayAvailable()) return true;
    const auto limit = static_cast<qint64>(QtRunLoop::toMilliseconds(seconds));
    QEventLoop loop;
    QElapsedTimer clock;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (QSystemTrayIcon::isSystemTrayAvailable() || clock.elapsed() >= limit) loop.quit();
    });
    clock.start();
    poll.start(kTrayPollMs);
    loop.exec();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

}  // namespace quillory::qt
