#pragma once

#include <vector>

#include "platform/geometry.h"

namespace quillory::platform {

// The attached screens.
class Screens {
public:
    Screens() = default;
    Screens(const Screens&) = delete;
    Screens& operator=(const Screens&) = delete;
    virtual ~Screens() = default;

    // Screen frames in global coordinates; entry 0 holds the origin. Empty without a screen.
    virtual std::vector<Rect> frames() const = 0;
    // The part of the first screen that the desktop's bars leave to windows: its frame when
    // they reserve nothing; the zero rectangle without a screen.
    virtual Rect firstVisibleFrame() const = 0;
    // The first screen's frame; the zero rectangle without a screen.
    Rect firstFrame() const {
        auto all = frames();
        return all.empty() ? Rect{} : all.front();
    }
};

}  // namespace quillory::platform
