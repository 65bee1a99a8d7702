#pragma once

#include <QDBusConnection>

#include <optional>
#include <string>

#include "platform/bundle.h"
#include "platform/log.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "platform/qt/portal_appearance.h"
#include "platform/qt/qt_animation.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_images.h"
#include "platform/qt/qt_run_loop.h"
#include "platform/qt/qt_screens.h"
#include "platform/qt/qt_status_bar.h"
#include "platform/qt/qt_window.h"

namespace quillory::qt {

struct QtPlatformOptions {
    WindowServerHooks windows;
    // QUILLORY_APPEARANCE, for desktops that misreport their theme.
    std::optional<std::string> appearanceOverride;
    // The desktop portal's appearance; nullptr for none. Not owned.
    const PortalAppearance* portal = nullptr;
    TrayKind tray = TrayKind::xembed;
};

// Every platform service on Qt, for a process that has a QApplication.
class QtPlatform {
public:
    explicit QtPlatform(const QtPlatformOptions& options);
    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;

    // The services as the program's controllers take them.
    platform::Platform services();

    QtRunLoop runLoop;
    QtAnimationContext animation;
    QtApplication application;
    QtStatusBar statusBar;
    QtScreens screens;
    QtWindowServer windows;
    QtImageStore images;
    QtUserDefaults defaults;
    platform::BuildBundle bundle;
    platform::StderrLog log;
    platform::SystemProcess process;
};

// Waits up to `seconds` for the desktop's system tray, running the event loop meanwhile: a
// StatusNotifierWatcher with a host (asked without blocking) or else an XEmbed tray; none when
// neither came.
std::optional<TrayKind> waitForSystemTray(double seconds);

// Tells the user in a desktop notification that no tray is available, and `advice`; waits for the
// notification service's answer up to `timeoutMs`, running the event loop. False when none came.
bool notifyNoTray(const QDBusConnection& bus, const QString& advice, int timeoutMs);

}  // namespace quillory::qt
