#include "platform/qt/qt_animation.h"

#include "platform/qt/qt_window.h"

namespace quillory::qt {

class QtAnimationContext::Proxy final : public platform::WindowAnimator {
public:
    Proxy(QtAnimationContext& context, platform::Window& window) : context_(context), window_(&window) {}
    void retarget(platform::Window& window) { window_ = &window; }

    void setFrame(const platform::Rect& frame, bool display) override {
        if (context_.open_.empty()) return window_->setFrame(frame, display);
        context_.open_.back().changes.push_back({window_, frame, std::nullopt});
    }
    void setAlphaValue(double alpha) override {
        if (context_.open_.empty()) return window_->setAlphaValue(alpha);
        context_.open_.back().changes.push_back({window_, std::nullopt, alpha});
    }

private:
    QtAnimationContext& context_;
    platform::Window* window_;
};

QtAnimationContext::QtAnimationContext() = default;
QtAnimationContext::~QtAnimationContext() = default;

void QtAnimationContext::setDuration(double seconds) {
    if (!open_.empty()) open_.back().duration = seconds;
}

void QtAnimationContext::endGrouping() {
    if (open_.empty()) return;
    const Group group = std::move(open_.back());
    open_.pop_back();
    for (const Change& change : group.changes) {
        auto* animated = dynamic_cast<QtWindow*>(change.window);
        if (change.frame) {
            animated != nullptr ? animated->animateFrame(*change.frame, group.duration)
                                : change.window->setFrame(*change.frame, true);
        }
        if (change.alpha) {
            animated != nullptr ? animated->animateAlpha(*change.alpha, group.duration)
                                : change.window->setAlphaValue(*change.alpha);
        }
    }
}

platform::WindowAnimator& QtAnimationContext::animator(platform::Window& window) {
    auto& proxy = proxies_[&window];
    if (!proxy) proxy = std::make_unique<Proxy>(*this, window);
    proxy->retarget(window);
    return *proxy;
}

}  // namespace quillory::qt
