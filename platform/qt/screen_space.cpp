#include "platform/qt/screen_space.h"

namespace quillory::qt {

using platform::Point;
using platform::Rect;

Rect ScreenSpace::toProgram(const Rect& qtRect) const {
    return {qtRect.x - first_.x, bottom() - qtRect.maxY(), qtRect.width, qtRect.height};
}

Rect ScreenSpace::toQt(const Rect& programRect) const {
    return {programRect.x + first_.x, bottom() - programRect.maxY(), programRect.width, programRect.height};
}

Point ScreenSpace::toProgram(Point qtPoint) const {
    return {qtPoint.x - first_.x, bottom() - qtPoint.y};
}

double barThickness(const Rect& screen, const Rect& available) {
    auto looksLikeBar = [](double height) { return height >= 16.0 && height <= 96.0; };
    const double top = available.y - screen.y;
    const double bottom = screen.maxY() - available.maxY();
    if (looksLikeBar(top)) return top;
    if (looksLikeBar(bottom)) return bottom;
    return kDefaultBarThickness;
}

}  // namespace quillory::qt
