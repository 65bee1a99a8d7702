#pragma once

#include <cstdint>
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

// The modifier keys held right now as the X server knows them, Caps Lock included; none
// without an X11 connection.
std::optional<ModifierKeys> x11ModifierKeys();

// Whether an XEmbed system tray runs on the first screen (someone owns _NET_SYSTEM_TRAY_S0).
bool xembedTrayPresent();

// The colour the system tray asks its icons to be drawn in (_NET_SYSTEM_TRAY_COLORS, its normal
// foreground) as 0xRRGGBB; none when the tray gives no hint or there is no XEmbed tray.
std::optional<std::uint32_t> trayForegroundHint();

// Ends the startup notification `id` (the busy cursor a host shows after handing us an activation
// token) with the X11 "remove" message; nothing without X11.
void completeStartup(const std::string& id);

// Keeps the X11 window `window`, not yet mapped, off task managers and pagers; nothing without X11.
void keepOffTaskbar(std::uintptr_t window);

}  // namespace quillory::qt::desktop
