#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillory::qt {

// The environment that decides how the tray program reaches the desktop.
struct LaunchEnvironment {
    std::optional<std::string> qpaPlatform;     // QT_QPA_PLATFORM
    std::optional<std::string> display;         // DISPLAY
    std::optional<std::string> waylandDisplay;  // WAYLAND_DISPLAY
    std::optional<std::string> sessionType;     // XDG_SESSION_TYPE
};

// Whether the X server's pointer is where the user's is: not on a Wayland session, where
// XWayland learns of it only while it is over an X11 window.
bool pointerIsCurrent(const LaunchEnvironment& env);

// What a user whose desktop (XDG_CURRENT_DESKTOP) shows no tray can install or switch on.
std::string noTrayAdvice(const std::optional<std::string>& desktop);

struct DisplayChoice {
    // The Qt platform to force; none when there is a problem.
    std::optional<std::string> forcePlatform;
    // Why the program cannot run here; none when it can.
    std::optional<std::string> problem;
};

// X11 (XWayland on a Wayland session) whenever an X display exists, whatever QT_QPA_PLATFORM
// says, because only there can a client place its own window under the icon. Without one, the
// problem names what is missing.
DisplayChoice chooseDisplay(const LaunchEnvironment& env);

inline constexpr double kDefaultTrayWaitSeconds = 30.0;
inline constexpr double kMaxTrayWaitSeconds = 600.0;

// How long to wait for a system tray (QUILLORY_TRAY_WAIT, seconds); the default for absent
// or unreadable values.
double trayWaitSeconds(const std::optional<std::string>& value);

// The value of the "AppleInterfaceStyle" user default: "Dark" when `override`
// (QUILLORY_APPEARANCE) says "dark", or, without a valid override, when the desktop portal's
// color-scheme is 1 (prefer dark). Every other answer is light: none.
std::optional<std::string> interfaceStyle(const std::optional<std::string>& override,
                                          std::optional<std::uint32_t> colorScheme);

}  // namespace quillory::qt
