#pragma once

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/window.h"

namespace quillory::qt {

// Groups of window changes that animate together over one duration with Qt's default easing.
// Windows of this backend animate each step (windowDidResize at every size step); any other
// window gets the final values at once.
class QtAnimationContext final : public platform::AnimationContext {
public:
    QtAnimationContext();
    ~QtAnimationContext() override;

    void beginGrouping() override { open_.emplace_back(); }
    void setDuration(double seconds) override;
    void endGrouping() override;
    platform::WindowAnimator& animator(platform::Window& window) override;

private:
    class Proxy;
    struct Change {
        platform::Window* window;
        std::optional<platform::Rect> frame;
        std::optional<double> alpha;
    };
    struct Group {
        double duration = 0.25;
        std::vector<Change> changes;
    };

    std::vector<Group> open_;
    std::map<platform::Window*, std::unique_ptr<Proxy>> proxies_;
};

}  // namespace quillory::qt
