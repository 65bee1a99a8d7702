#pragma once

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/window.h"

namespace quillory::platform {

// The grouping every backend shares: changes made through an animator inside a group are
// gathered and handed to `animate` together when the group ends; outside a group they apply
// at once. A backend only says how one window's change runs over a duration.
class GroupedAnimationContext : public AnimationContext {
public:
    // The duration a group has when none is set.
    static constexpr double kDefaultDuration = 0.25;

    GroupedAnimationContext();
    ~GroupedAnimationContext() override;

    void beginGrouping() override;
    void setDuration(double seconds) override;
    void endGrouping() override;
    WindowAnimator& animator(Window& window) override;

protected:
    // Called once as a group ends, before its changes run.
    virtual void groupEnded(double /*seconds*/) {}
    // Runs one window's changes of an ended group over `seconds`.
    virtual void animate(Window& window, const std::optional<Rect>& frame, const std::optional<double>& alpha,
                         double seconds) = 0;

private:
    class Proxy;
    struct Change {
        Window* window;
        std::optional<Rect> frame;
        std::optional<double> alpha;
    };
    struct Group {
        double duration = kDefaultDuration;
        std::vector<Change> changes;
    };

    std::vector<Group> open_;
    std::map<Window*, std::unique_ptr<Proxy>> proxies_;
};

}  // namespace quillory::platform
