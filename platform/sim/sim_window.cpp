#include "platform/sim/sim_window.h"

#include <algorithm>

namespace quillory::platform::sim {

namespace {

constexpr std::int64_t kFrameNs = 16'666'667;  // one display frame at 60 Hz

}  // namespace

SimWindow::SimWindow(SimWindowServer& server, SimRunLoop& runLoop, const Rect& frame, bool canBecomeKey)
    : server_(server), runLoop_(runLoop), frame_(frame), canBecomeKey_(canBecomeKey) {}

SimWindow::~SimWindow() {
    if (contentView_ != nullptr) contentView_->setWindow(nullptr);
    server_.forget(this);
}

void SimWindow::setFrame(const Rect& frame, bool /*display*/) {
    const bool resized = frame.size() != frame_.size();
    frame_ = frame;
    frameHistory_.push_back(frame);
    if (!resized) return;
    // The content view follows the window's size before the delegate hears of it.
    if (contentView_ != nullptr) contentView_->setFrame({0.0, 0.0, frame.width, frame.height});
    if (delegate_ != nullptr) delegate_->windowDidResize();
}

void SimWindow::makeKeyAndOrderFront() {
    visible_ = true;
    if (canBecomeKey_) server_.becomeKey(this);
}

void SimWindow::orderOut() {
    ++orderOutCount_;
    visible_ = false;
    if (key_) resignKey();
}

void SimWindow::setContentView(View* view) {
    if (contentView_ != nullptr) contentView_->setWindow(nullptr);
    contentView_ = view;
    if (view != nullptr) {
        view->setFrame({0.0, 0.0, frame_.width, frame_.height});
        view->setWindow(this);
    }
}

TextField& SimWindow::addTextField(const Rect& /*frame*/) {
    return *textFields_.emplace_back(std::make_unique<SimTextField>());
}

ImageView& SimWindow::addImageView(const Rect& /*frame*/) {
    return *imageViews_.emplace_back(std::make_unique<SimImageView>());
}

void SimWindow::addButton(const Rect& frame, const std::string& title, std::function<void()> action) {
    buttons_.push_back({frame, title, std::move(action)});
}

void SimWindow::viewNeedsDisplay(View& /*view*/) {}

Rect SimWindow::convertRectToScreen(const Rect& rect) const {
    return {frame_.x + rect.x, frame_.y + rect.y, rect.width, rect.height};
}

template <typename Value, typename Apply>
void SimWindow::animate(std::uint64_t& generation, Value from, Value to, double seconds, Apply apply) {
    const std::uint64_t mine = ++generation;
    const std::int64_t start = runLoop_.nowNs();
    const std::int64_t end = start + SimRunLoop::toNs(seconds);
    auto step = std::make_shared<std::function<void()>>();
    *step = [this, &generation, mine, start, end, from, to, apply, alive = std::weak_ptr<int>(alive_),
             weakStep = std::weak_ptr<std::function<void()>>(step)] {
        if (alive.expired() || generation != mine) return;  // window gone, or replaced
        const std::int64_t now = runLoop_.nowNs();
        const double t =
            now >= end ? 1.0 : static_cast<double>(now - start) / static_cast<double>(end - start);
        apply(interpolate(from, to, t));
        if (t < 1.0) {
            if (auto next = weakStep.lock())
                runLoop_.runInternalAt(std::min(now + kFrameNs, end), [next] { (*next)(); });
        }
    };
    if (end <= start) {
        (*step)();
        return;
    }
    runLoop_.runInternalAt(std::min(start + kFrameNs, end), [step] { (*step)(); });
}

void SimWindow::animateFrame(const Rect& to, double seconds) {
    animate(frameAnimation_, frame_, to, seconds, [this](const Rect& r) { setFrame(r, true); });
}

void SimWindow::animateAlpha(double to, double seconds) {
    animate(alphaAnimation_, alpha_, to, seconds, [this](double a) { setAlphaValue(a); });
}

void SimWindow::resignKey() {
    if (!key_) return;
    key_ = false;
    if (delegate_ != nullptr) delegate_->windowDidResignKey();
}

void SimWindow::performClose() {
    if (delegate_ != nullptr) delegate_->windowWillClose();
    orderOut();
}

bool SimWindow::pressButton(const std::string& title) {
    auto it =
        std::find_if(buttons_.begin(), buttons_.end(), [&](const Button& b) { return b.title == title; });
    if (it == buttons_.end()) return false;
    auto action = it->action;  // the action may rebuild the window
    action();
    return true;
}

std::unique_ptr<Window> SimWindowServer::createPanel(const Rect& frame, bool canBecomeKeyWindow) {
    auto window = std::make_unique<SimWindow>(*this, runLoop_, frame, canBecomeKeyWindow);
    windows_.push_back(window.get());
    return window;
}

void SimWindowServer::forget(SimWindow* window) {
    std::erase(windows_, window);
}

void SimWindowServer::becomeKey(SimWindow* window) {
    for (SimWindow* other : windows_) {
        if (other != window) other->resignKey();
    }
    window->key_ = true;
}

void SimAnimationContext::animate(Window& window, const std::optional<Rect>& frame,
                                  const std::optional<double>& alpha, double seconds) {
    auto* simulated = dynamic_cast<SimWindow*>(&window);
    if (frame)
        simulated != nullptr ? simulated->animateFrame(*frame, seconds) : window.setFrame(*frame, true);
    if (alpha) simulated != nullptr ? simulated->animateAlpha(*alpha, seconds) : window.setAlphaValue(*alpha);
}

}  // namespace quillory::platform::sim
