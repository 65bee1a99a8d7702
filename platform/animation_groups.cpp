#include "platform/animation_groups.h"

namespace quillory::platform {

class GroupedAnimationContext::Proxy final : public WindowAnimator {
public:
    Proxy(GroupedAnimationContext& context, Window& window) : context_(context), window_(&window) {}
    void retarget(Window& window) { window_ = &window; }

    void setFrame(const Rect& frame, bool display) override {
        if (context_.open_.empty()) return window_->setFrame(frame, display);
        context_.open_.back().changes.push_back({window_, frame, std::nullopt});
    }
    void setAlphaValue(double alpha) override {
        if (context_.open_.empty()) return window_->setAlphaValue(alpha);
        context_.open_.back().changes.push_back({window_, std::nullopt, alpha});
    }

private:
    GroupedAnimationContext& context_;
    Window* window_;
};

GroupedAnimationContext::GroupedAnimationContext() = default;
GroupedAnimationContext::~GroupedAnimationContext() = default;

void GroupedAnimationContext::beginGrouping() {
    open_.emplace_back();
}

void GroupedAnimationContext::setDuration(double seconds) {
    if (!open_.empty()) open_.back().duration = seconds;
}

void GroupedAnimationContext::endGrouping() {
    if (open_.empty()) return;
    const Group group = std::move(open_.back());
    open_.pop_back();
    groupEnded(group.duration);
    for (const Change& change : group.changes)
        animate(*change.window, change.frame, change.alpha, group.duration);
}

WindowAnimator& GroupedAnimationContext::animator(Window& window) {
    auto& proxy = proxies_[&window];
    if (!proxy) proxy = std::make_unique<Proxy>(*this, window);
    proxy->retarget(window);
    return *proxy;
}

}  // namespace quillory::platform
