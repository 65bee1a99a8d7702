// The desktop probes where there is no X11 (macOS): nothing to ask beyond Qt.
#include "platform/qt/x11_desktop.h"

namespace quillory::qt::desktop {

bool canOpenX11Display(const std::optional<std::string>&, std::string* why) {
    if (why) *why = "this build has no X11 support";
    return false;
}

// Every window server other than a bare X11 one composites.
bool compositingManagerRunning() {
    return true;
}

std::optional<ModifierKeys> x11ModifierKeys() {
    return std::nullopt;
}

std::optional<std::uint32_t> trayForegroundHint() {
    return std::nullopt;
}

bool xembedTrayPresent() {
    return false;
}

void completeStartup(const std::string&) {}

void keepOffTaskbar(std::uintptr_t) {}

}  // namespace quillory::qt::desktop
