#include "panel/placement.h"

#include <algorithm>

namespace quillory {

using platform::Rect;

Rect statusRectBelowIcon(const Rect& icon) {
    return {icon.x, icon.y - icon.height, icon.width, icon.height};
}

Rect barEndStatusRect(const Rect& screen, const Rect& visible, double thickness) {
    const double top = screen.maxY() - visible.maxY(), bottom = visible.y - screen.y;
    const bool atBottom = top <= 0.0 && bottom > 0.0;
    const double height = atBottom ? bottom : (top > 0.0 ? top : thickness);
    return statusRectBelowIcon({screen.maxX() - kBarEndInset - kFallbackStatusItemWidth,
                                atBottom ? screen.y : screen.maxY() - height, kFallbackStatusItemWidth,
                                height});
}

std::optional<Rect> iconRectAroundClick(platform::Point click, const Rect& screen, double thickness) {
    double y = 0.0;
    if (click.y >= screen.maxY() - thickness) {
        y = screen.maxY() - thickness;
    } else if (click.y < screen.y + thickness) {
        y = screen.y;
    } else {
        return std::nullopt;
    }
    return Rect{click.x - kFallbackStatusItemWidth / 2.0, y, kFallbackStatusItemWidth, thickness};
}

PanelPlacement placePanel(const Rect& status, const Rect& screen) {
    Rect panel{platform::roundf(status.midX() - kPanelWidth / 2.0), status.maxY() - kPanelHeight, kPanelWidth,
               kPanelHeight};
    const double rightLimit = screen.maxX() - kScreenRightMargin;
    if (panel.maxX() > rightLimit) panel.x -= panel.maxX() - rightLimit;
    // A tray at the left end of a bar: the arrow still points at the icon.
    panel.x = std::max(panel.x, screen.x + kScreenLeftMargin);
    if (panel.y >= screen.y) return {status, panel, ArrowEdge::top};

    // Below the screen's bottom edge (an icon in a bottom panel): open upward from the
    // icon's top edge, which lies one icon height above the status rectangle's top.
    Rect start{status.x, status.maxY() + status.height, status.width, status.height};
    panel.y = std::max(screen.y, std::min(start.y, screen.maxY() - kPanelHeight));
    return {start, panel, ArrowEdge::bottom};
}

std::int64_t arrowXFor(const Rect& status, const Rect& frame) {
    return static_cast<std::int64_t>(platform::roundf(status.midX()) - frame.x);
}

OpeningTiming openingTiming(const std::optional<platform::Event>& event) {
    OpeningTiming timing;
    if (!event || event->type != platform::kLeftMouseDown) return timing;
    const std::uint64_t flags = event->modifierFlags & platform::kDeviceIndependentModifierFlagsMask;
    const std::uint64_t shiftOption = platform::kShiftKeyMask | platform::kAlternateKeyMask;
    if (flags == platform::kShiftKeyMask || flags == shiftOption) timing.duration *= kSlowMotionFactor;
    timing.logPlacement = flags == shiftOption;
    return timing;
}

std::string placementLogLine(const Rect& status, const Rect& screen, const Rect& panel) {
    return "Icon is at " + platform::stringFromRect(status) + "\n\tMenu is on screen " +
           platform::stringFromRect(screen) + "\n\tWill be animated to " + platform::stringFromRect(panel);
}

}  // namespace quillory
