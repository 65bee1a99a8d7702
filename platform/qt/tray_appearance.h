#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillory::qt {

// The value of the "AppleInterfaceStyle" user default for the panel the tray icon sits on:
// "Dark" or none (light). QUILLORY_APPEARANCE ("dark" or "light", any case) decides first; then
// the tray's own foreground colour hint (0xRRGGBB: a light foreground means a dark panel);
// then the desktop portal's color-scheme (1 prefers dark).
std::optional<std::string> panelInterfaceStyle(const std::optional<std::string>& override,
                                               std::optional<std::uint32_t> trayForeground,
                                               std::optional<std::uint32_t> colorScheme);

}  // namespace quillory::qt
