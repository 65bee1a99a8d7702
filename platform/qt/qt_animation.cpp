#include "platform/qt/qt_animation.h"

#include "platform/qt/qt_window.h"

namespace quillory::qt {

void QtAnimationContext::animate(platform::Window& window, const std::optional<platform::Rect>& frame,
                                 const std::optional<double>& alpha, double seconds) {
    auto* animated = dynamic_cast<QtWindow*>(&window);
    if (frame) animated != nullptr ? animated->animateFrame(*frame, seconds) : window.setFrame(*frame, true);
    if (alpha) animated != nullptr ? animated->animateAlpha(*alpha, seconds) : window.setAlphaValue(*alpha);
}

}  // namespace quillory::qt
