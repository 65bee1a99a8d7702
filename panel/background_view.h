#pragma once

#include <cstdint>

#include "platform/graphics.h"
#include "platform/view.h"

namespace quillory {

inline constexpr double kOutlineInset = 1.0;
inline constexpr std::int64_t kArrowHalfWidth = 6;
inline constexpr double kArrowHeight = 8.0;
inline constexpr double kCornerRadius = 6.0;
inline constexpr double kFillAlpha = static_cast<double>(0.9f);
inline constexpr double kStrokeWidth = 2.0;

// Which edge of the panel carries the arrow: the top one under an icon at the top of the
// screen, the bottom one over an icon at the bottom.
enum class ArrowEdge { top, bottom };

// The panel's outline in `bounds`: body with curved corners and the arrow whose tip is at
// `arrowX`, always running clockwise (y up) so that it drops out of a clip around it.
platform::Path backgroundOutline(const platform::Rect& bounds, std::int64_t arrowX, ArrowEdge edge);

// The panel's whole visible shape: a translucent white body with the arrow and an opaque
// white border one point wide just outside it.
class BackgroundView final : public platform::View {
public:
    using View::View;

    std::int64_t arrowX() const { return arrowX_; }
    // Stores `x` unchanged and always asks for a full redraw.
    void setArrowX(std::int64_t x);
    ArrowEdge arrowEdge() const { return arrowEdge_; }
    // Asks for a redraw when the edge changes.
    void setArrowEdge(ArrowEdge edge);

    void drawRect(platform::Graphics& graphics, const platform::Rect& dirty) override;

private:
    std::int64_t arrowX_ = 0;
    ArrowEdge arrowEdge_ = ArrowEdge::top;
};

}  // namespace quillory
