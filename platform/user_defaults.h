#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillory::platform {

inline constexpr std::string_view kInterfaceStyleKey = "AppleInterfaceStyle";

// The user's settings as key and value.
class UserDefaults {
public:
    UserDefaults() = default;
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;
    virtual ~UserDefaults() = default;

    // The string stored under `key`; none when absent or not a string.
    virtual std::optional<std::string> stringForKey(std::string_view key) const = 0;
};

}  // namespace quillory::platform
