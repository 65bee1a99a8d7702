#include "platform/qt/qt_graphics.h"

#include <QPainter>
#include <QPen>

#include "platform/qt/qt_images.h"

namespace quillory::qt {

using platform::PathElement;

QPainterPath toPainterPath(const platform::Path& path) {
    QPainterPath out;
    out.setFillRule(Qt::WindingFill);
    for (const PathElement& element : path.elements()) {
        const auto& p = element.points;
        switch (element.kind) {
            case PathElement::Kind::moveTo:
                out.moveTo(p[0].x, p[0].y);
                break;
            case PathElement::Kind::lineTo:
                out.lineTo(p[0].x, p[0].y);
                break;
            case PathElement::Kind::curveTo:
                out.cubicTo(p[1].x, p[1].y, p[2].x, p[2].y, p[0].x, p[0].y);
                break;
            case PathElement::Kind::closePath:
                out.closeSubpath();
                break;
        }
    }
    return out;
}

QColor QtGraphics::toQColor(const platform::Color& color) {
    return QColor::fromRgbF(static_cast<float>(color.red), static_cast<float>(color.green),
                            static_cast<float>(color.blue), static_cast<float>(color.alpha));
}

QtGraphics::QtGraphics(QPainter& painter, double viewHeight) : painter_(painter) {
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, true);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter_.translate(0.0, viewHeight);
    painter_.scale(1.0, -1.0);
}

QtGraphics::~QtGraphics() {
    for (std::size_t i = 0; i < saved_.size(); ++i) painter_.restore();
    painter_.restore();
}

void QtGraphics::saveGraphicsState() {
    saved_.push_back({fill_, stroke_});
    painter_.save();
}

void QtGraphics::restoreGraphicsState() {
    if (saved_.empty()) return;
    fill_ = saved_.back().fill;
    stroke_ = saved_.back().stroke;
    saved_.pop_back();
    painter_.restore();
}

void QtGraphics::fill(const platform::Path& path) {
    painter_.fillPath(toPainterPath(path), fill_);
}

void QtGraphics::stroke(const platform::Path& path) {
    // The platform default the outline was designed for: butt ends, mitred corners.
    QPen pen(stroke_, path.lineWidth(), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    painter_.strokePath(toPainterPath(path), pen);
}

void QtGraphics::addClip(const platform::Path& path) {
    painter_.setClipPath(toPainterPath(path), Qt::IntersectClip);
}

void QtGraphics::drawImage(const platform::Image* image, platform::Point at,
                           platform::CompositingOperation /*operation*/, double fraction) {
    const auto* drawable = dynamic_cast<const QtImage*>(image);
    if (drawable == nullptr) return;
    const platform::Size size = drawable->size();
    painter_.save();
    painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_.setOpacity(fraction);
    // Back to y-down for the picture itself, with its lower-left corner at `at`.
    painter_.translate(at.x, at.y + size.height);
    painter_.scale(1.0, -1.0);
    drawable->render(painter_, QRectF(0.0, 0.0, size.width, size.height));
    painter_.restore();
}

}  // namespace quillory::qt
