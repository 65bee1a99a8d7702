// The desktop probes where there is no X11 (macOS): Qt answers what it can.
#include <QGuiApplication>

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

ModifierKeys currentModifierKeys() {
    const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
    return {false, held.testFlag(Qt::ShiftModifier), held.testFlag(Qt::ControlModifier),
            held.testFlag(Qt::AltModifier), held.testFlag(Qt::MetaModifier)};
}

}  // namespace quillory::qt::desktop
