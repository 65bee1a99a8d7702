#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillory::platform {

inline constexpr std::string_view kShortVersionKey = "CFBundleShortVersionString";

// The application's own information values.
class Bundle {
public:
    Bundle() = default;
    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;
    virtual ~Bundle() = default;

    // The value for `key`; none when the bundle has no such value.
    virtual std::optional<std::string> objectForInfoDictionaryKey(std::string_view key) const = 0;
};

// The bundle of this build: its short version is the project version.
class BuildBundle final : public Bundle {
public:
    std::optional<std::string> objectForInfoDictionaryKey(std::string_view key) const override;
};

}  // namespace quillory::platform
