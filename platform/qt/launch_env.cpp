#include "platform/qt/launch_env.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace quillory::qt {

namespace {

bool present(const std::optional<std::string>& value) {
    return value.has_value() && !value->empty();
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

DisplayChoice chooseDisplay(const LaunchEnvironment& env) {
    // Whatever QT_QPA_PLATFORM asks for (often "wayland" on KDE and sway, where Qt may not even
    // have that plugin): only on X11 can the panel be placed under the icon.
    if (present(env.display)) return {std::string("xcb"), std::nullopt};
    const bool wayland = present(env.waylandDisplay) ||
                         (present(env.qpaPlatform) && lowered(*env.qpaPlatform).starts_with("wayland"));
    if (wayland) {
        return {std::nullopt,
                std::string("no X display: Quillory needs XWayland to place its panel under the tray "
                            "icon, and this Wayland session offers none (DISPLAY is not set); "
                            "install or enable XWayland")};
    }
    return {std::nullopt, std::string("no display: DISPLAY is not set, so there is no desktop to show the "
                                      "tray icon on (use --summary FILE for the command line)")};
}

bool pointerIsCurrent(const LaunchEnvironment& env) {
    return !present(env.waylandDisplay) &&
           !(present(env.sessionType) && lowered(*env.sessionType) == "wayland");
}

std::string noTrayAdvice(const std::optional<std::string>& desktop) {
    const std::string name = desktop ? lowered(*desktop) : std::string();
    if (name.find("gnome") != std::string::npos || name.find("unity") != std::string::npos) {
        return "GNOME shows tray icons only with the AppIndicator extension: install "
               "gnome-shell-extension-appindicator, switch on \"AppIndicator and KStatusNotifierItem "
               "Support\" "
               "in the Extensions app, log out and in, then start Quillory again";
    }
    if (name.find("kde") != std::string::npos) {
        return "add the System Tray widget to a Plasma panel, then start Quillory again";
    }
    if (name.find("xfce") != std::string::npos) {
        return "add the Status Tray Plugin (or the Notification Area) to an Xfce panel, then start Quillory "
               "again";
    }
    return "start a panel with a system tray (a StatusNotifierItem host or an XEmbed tray), then start "
           "Quillory again";
}

double trayWaitSeconds(const std::optional<std::string>& value) {
    if (!present(value)) return kDefaultTrayWaitSeconds;
    double seconds = 0.0;
    const char* end = value->data() + value->size();
    auto [stop, ec] = std::from_chars(value->data(), end, seconds);
    if (ec != std::errc() || stop != end || !(seconds >= 0.0) || seconds > kMaxTrayWaitSeconds) {
        return kDefaultTrayWaitSeconds;
    }
    return seconds;
}

std::optional<std::string> interfaceStyle(const std::optional<std::string>& override,
                                          std::optional<std::uint32_t> colorScheme) {
    const std::string chosen = override ? lowered(*override) : std::string();
    if (chosen == "dark") return std::string("Dark");
    if (chosen == "light") return std::nullopt;
    if (colorScheme == 1u) return std::string("Dark");
    return std::nullopt;
}

}  // namespace quillory::qt
