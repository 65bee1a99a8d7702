#include "panel/background_view.h"

namespace quillory {

namespace {

using platform::Path;
using platform::Point;

double toDouble(std::int64_t value) {
    return static_cast<double>(value);
}

// The arrow on the top edge, pointing up at an icon above the panel.
Path arrowOnTop(double left, double bottom, double right, double top, std::int64_t arrowX) {
    const double body = top - kArrowHeight;
    const double r = kCornerRadius;
    Path path;
    path.moveTo({toDouble(arrowX), top});
    path.lineTo({toDouble(arrowX + kArrowHalfWidth), body});
    path.lineTo({right - r, body});
    path.curveTo({right, body - r}, {right, body}, {right, body});
    path.lineTo({right, bottom + r});
    path.curveTo({right - r, bottom}, {right, bottom}, {right, bottom});
    path.lineTo({left + r, bottom});
    path.curveTo({left, bottom + r}, {left, bottom}, {left, bottom});
    path.lineTo({left, body - r});
    path.curveTo({left + r, body}, {left, body}, {left, body});
    path.lineTo({toDouble(arrowX - kArrowHalfWidth), body});
    path.closePath();
    return path;
}

// The mirror image of arrowOnTop, traversed so that it still runs clockwise.
Path arrowOnBottom(double left, double bottom, double right, double top, std::int64_t arrowX) {
    const double body = bottom + kArrowHeight;
    const double r = kCornerRadius;
    Path path;
    path.moveTo({toDouble(arrowX), bottom});
    path.lineTo({toDouble(arrowX - kArrowHalfWidth), body});
    path.lineTo({left + r, body});
    path.curveTo({left, body + r}, {left, body}, {left, body});
    path.lineTo({left, top - r});
    path.curveTo({left + r, top}, {left, top}, {left, top});
    path.lineTo({right - r, top});
    path.curveTo({right, top - r}, {right, top}, {right, top});
    path.lineTo({right, body + r});
    path.curveTo({right - r, body}, {right, body}, {right, body});
    path.lineTo({toDouble(arrowX + kArrowHalfWidth), body});
    path.closePath();
    return path;
}

}  // namespace

platform::Path backgroundOutline(const platform::Rect& bounds, std::int64_t arrowX, ArrowEdge edge) {
    const platform::Rect content = platform::insetRect(bounds, kOutlineInset, kOutlineInset);
    if (edge == ArrowEdge::bottom) {
        return arrowOnBottom(content.x, content.y, content.maxX(), content.maxY(), arrowX);
    }
    return arrowOnTop(content.x, content.y, content.maxX(), content.maxY(), arrowX);
}

void BackgroundView::setArrowX(std::int64_t x) {
    arrowX_ = x;
    setNeedsDisplay(true);
}

void BackgroundView::setArrowEdge(ArrowEdge edge) {
    if (edge == arrowEdge_) return;
    arrowEdge_ = edge;
    setNeedsDisplay(true);
}

void BackgroundView::drawRect(platform::Graphics& graphics, const platform::Rect& /*dirty*/) {
    Path outline = backgroundOutline(bounds(), arrowX_, arrowEdge_);
    graphics.setFillColor(platform::Color::deviceWhite(1.0, kFillAlpha));
    graphics.fill(outline);

    graphics.saveGraphicsState();
    // The bounds run counter-clockwise and the outline clockwise: the clip is what lies outside
    // the outline, so only the outer half of the stroke shows and the fill is never covered.
    Path clip = Path::rect(bounds());
    clip.appendPath(outline);
    graphics.addClip(clip);
    outline.setLineWidth(kStrokeWidth);
    graphics.setStrokeColor(platform::Color::white());
    graphics.stroke(outline);
    graphics.restoreGraphicsState();
}

}  // namespace quillory
