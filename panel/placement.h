#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "panel/background_view.h"
#include "platform/event.h"
#include "platform/geometry.h"

namespace quillory {

inline constexpr double kPanelWidth = 280.0;
inline constexpr double kPanelHeight = 400.0;
inline constexpr double kScreenRightMargin = 8.0;
inline constexpr double kScreenLeftMargin = 8.0;
inline constexpr double kFallbackStatusItemWidth = 24.0;
// The gap between the bar-end icon and the screen's right edge: the arrow then ends 6 points
// short of the panel's rounded corner.
inline constexpr double kBarEndInset = 10.0;
inline constexpr double kPollInterval = 0.5;
inline constexpr double kOpenDuration = 0.15;
inline constexpr double kSlowMotionFactor = 10.0;
inline constexpr double kCloseDuration = 0.1;
inline constexpr double kHideDelay = 0.2;

// The status rectangle for an icon at `icon`: the icon moved down by its own height.
platform::Rect statusRectBelowIcon(const platform::Rect& icon);
// Where the tray usually is when nothing says where the icon is: a 24-wide icon at the right end
// of the bar along the top of `screen`, or along its bottom when only there the desktop reserves
// space (`visible` is what it leaves to windows), as high as that bar; a bar of `thickness` at the
// top when it reserves none. The result lies below that icon, as statusRectBelowIcon's does, and
// puts the panel's arrow next to its corner.
platform::Rect barEndStatusRect(const platform::Rect& screen, const platform::Rect& visible,
                                double thickness);
// The icon's likely rectangle from a click at `click`, for trays that do not say where the
// icon is: 24 wide and one bar high, flush with the top or bottom edge the click was in. None
// when the click was in neither bar (a host driven from the keyboard, or through its menu).
std::optional<platform::Rect> iconRectAroundClick(platform::Point click, const platform::Rect& screen,
                                                  double thickness);

struct PanelPlacement {
    platform::Rect start;  // the frame the panel grows from, beside the icon
    platform::Rect frame;  // the frame it is animated to
    ArrowEdge edge = ArrowEdge::top;
};

// Where the panel opens for `status` on `screen`: below the icon, centred on it and kept 8
// points clear of the right and left edges; above the icon instead when below would leave the
// screen. The panel never leaves the screen.
PanelPlacement placePanel(const platform::Rect& status, const platform::Rect& screen);

// The arrow tip's x in a panel at `frame`: the icon's rounded middle, truncated toward zero.
std::int64_t arrowXFor(const platform::Rect& status, const platform::Rect& frame);

struct OpeningTiming {
    double duration = kOpenDuration;
    bool logPlacement = false;
};

// 1.5 s for a click with Shift alone or Shift and Option; Shift and Option also log the placement.
OpeningTiming openingTiming(const std::optional<platform::Event>& event);

// The diagnostic line of a Shift and Option click.
std::string placementLogLine(const platform::Rect& status, const platform::Rect& screen,
                             const platform::Rect& panel);

}  // namespace quillory
