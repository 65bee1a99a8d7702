#pragma once

#include <optional>

#include "platform/animation_groups.h"

namespace quillory::qt {

// Groups of window changes that animate together over one duration with Qt's default easing.
// Windows of this backend animate each step (windowDidResize at every size step); any other
// window gets the final values at once.
class QtAnimationContext final : public platform::GroupedAnimationContext {
protected:
    void animate(platform::Window& window, const std::optional<platform::Rect>& frame,
                 const std::optional<double>& alpha, double seconds) override;
};

}  // namespace quillory::qt
