#pragma once

#include <optional>
#include <string>

#include "platform/qt/modifier_flags.h"

namespace quillory::qt::desktop {

// Whether an X display can be reached, asked before Qt starts (Qt aborts when it cannot).
// `why` receives the reason when it cannot.
bool canOpenX11Display(const std::optional<std::string>& display, std::string* why);

// Whether a compositing manager runs for the screen, so that translucent windows blend. On a
// platform other than X11 the answer is yes: Wayland compositors always composite.
bool compositingManagerRunning();

// The modifier keys held right now. Caps Lock is known on X11 only.
ModifierKeys currentModifierKeys();

}  // namespace quillory::qt::desktop
