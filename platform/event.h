#pragma once

#include <cstdint>
#include <optional>

#include "platform/geometry.h"

namespace quillory::platform {

// Event types and modifier bits with the values the program's decisions are written in.
inline constexpr int kLeftMouseDown = 1;
inline constexpr std::uint64_t kDeviceIndependentModifierFlagsMask = 0xffff0000;
inline constexpr std::uint64_t kAlphaShiftKeyMask = 0x10000;  // Caps Lock
inline constexpr std::uint64_t kShiftKeyMask = 0x20000;
inline constexpr std::uint64_t kControlKeyMask = 0x40000;
inline constexpr std::uint64_t kAlternateKeyMask = 0x80000;  // Option / Alt
inline constexpr std::uint64_t kCommandKeyMask = 0x100000;

// The user event being handled.
struct Event {
    int type = 0;
    std::uint64_t modifierFlags = 0;
    // Where the pointer was, in screen coordinates; none when the platform does not know.
    std::optional<Point> locationInScreen;
};

}  // namespace quillory::platform
