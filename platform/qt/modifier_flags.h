#pragma once

#include <cstdint>

namespace quillory::qt {

// The modifier keys held at a click, whatever the platform calls them.
struct ModifierKeys {
    bool capsLock = false;
    bool shift = false;
    bool control = false;
    bool alt = false;
    bool super = false;
};

// The core X11 modifier bits of a pointer or key state.
inline constexpr std::uint32_t kX11ShiftMask = 0x01;
inline constexpr std::uint32_t kX11LockMask = 0x02;
inline constexpr std::uint32_t kX11ControlMask = 0x04;
inline constexpr std::uint32_t kX11Mod1Mask = 0x08;  // Alt on every common keymap
inline constexpr std::uint32_t kX11Mod4Mask = 0x40;  // Super

ModifierKeys modifierKeysFromX11(std::uint32_t state);

// The event flags the program's decisions are written in (Shift 0x20000, Alt 0x80000, ...).
std::uint64_t modifierFlags(const ModifierKeys& keys);

}  // namespace quillory::qt
