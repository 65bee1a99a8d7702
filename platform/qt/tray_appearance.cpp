#include "platform/qt/tray_appearance.h"

#include <algorithm>
#include <cctype>

#include "platform/qt/launch_env.h"

namespace quillory::qt {

namespace {

bool isOverride(const std::optional<std::string>& value) {
    if (!value) return false;
    std::string word = *value;
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return word == "dark" || word == "light";
}

// Perceived lightness, 0 to 255000 (ITU-R BT.601 weights, in thousandths).
std::uint32_t lightness(std::uint32_t rgb) {
    return 299u * ((rgb >> 16) & 0xffu) + 587u * ((rgb >> 8) & 0xffu) + 114u * (rgb & 0xffu);
}

}  // namespace

std::optional<std::string> panelInterfaceStyle(const std::optional<std::string>& override,
                                               std::optional<std::uint32_t> trayForeground,
                                               std::optional<std::uint32_t> colorScheme) {
    if (!isOverride(override) && trayForeground) {
        return lightness(*trayForeground) >= 128000u ? std::optional<std::string>("Dark") : std::nullopt;
    }
    return interfaceStyle(override, colorScheme);
}

}  // namespace quillory::qt
