#pragma once

#include "platform/geometry.h"

namespace quillory::qt {

// The one place where Qt's screen coordinates (y down, origin at the virtual desktop's top-left)
// meet the program's (y up, origin at the first screen's bottom-left). Every conversion of the
// backend goes through here.
class ScreenSpace {
public:
    // `firstScreen` is the first screen's geometry in Qt's coordinates.
    explicit ScreenSpace(const platform::Rect& firstScreen) : first_(firstScreen) {}

    platform::Rect toProgram(const platform::Rect& qtRect) const;
    platform::Rect toQt(const platform::Rect& programRect) const;
    platform::Point toProgram(platform::Point qtPoint) const;

private:
    double bottom() const { return first_.y + first_.height; }

    platform::Rect first_;
};

inline constexpr double kDefaultBarThickness = 22.0;

// The desktop panel's height from a screen and the part of it left to windows (both in Qt's
// coordinates): the reserved strip along the top, else along the bottom, when it is between 16
// and 96 high; kDefaultBarThickness otherwise.
double barThickness(const platform::Rect& screen, const platform::Rect& available);

}  // namespace quillory::qt
