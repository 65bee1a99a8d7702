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
inline constexpr double kPollInterval = 0.5;
inline constexpr double kOpenDuration = 0.15;
inline constexpr double kSlowMotionFactor = 10.0;
inline constexpr double kCloseDuration = 0.1;
inline constexpr double kHideDelay = 0.2;

// The status rectangle for an icon at `icon`: the icon moved down by its own height.
platform::Rect statusRectBelowIcon(const platform::Rect& icon);
// Without an icon: 24 wide, centred at the top of `screen`, directly below a bar of `thickness`.
platform::Rect fallbackStatusRect(const platform::Rect& screen, double thickness);
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
