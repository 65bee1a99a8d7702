#pragma once

#include "platform/qt/screen_space.h"
#include "platform/screens.h"

namespace quillory::qt {

// The conversion for the screens as they are now: the primary screen is the first screen.
ScreenSpace currentScreenSpace();

// Height of the desktop's panel (the status bar) on the primary screen: the space the desktop
// reserves along the top or bottom edge, or 22 when it reserves none that looks like a panel.
double currentBarThickness();

// The attached screens, the primary first.
class QtScreens final : public platform::Screens {
public:
    std::vector<platform::Rect> frames() const override;
    platform::Rect firstVisibleFrame() const override;
};

}  // namespace quillory::qt
