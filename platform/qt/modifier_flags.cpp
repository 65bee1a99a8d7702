#include "platform/qt/modifier_flags.h"

#include "platform/event.h"

namespace quillory::qt {

ModifierKeys modifierKeysFromX11(std::uint32_t state) {
    return {(state & kX11LockMask) != 0, (state & kX11ShiftMask) != 0, (state & kX11ControlMask) != 0,
            (state & kX11Mod1Mask) != 0, (state & kX11Mod4Mask) != 0};
}

std::uint64_t modifierFlags(const ModifierKeys& keys) {
    std::uint64_t flags = 0;
    if (keys.capsLock) flags |= platform::kAlphaShiftKeyMask;
    if (keys.shift) flags |= platform::kShiftKeyMask;
    if (keys.control) flags |= platform::kControlKeyMask;
    if (keys.alt) flags |= platform::kAlternateKeyMask;
    if (keys.super) flags |= platform::kCommandKeyMask;
    return flags;
}

}  // namespace quillory::qt
