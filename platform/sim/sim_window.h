#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/animation_groups.h"
#include "platform/sim/sim_run_loop.h"
#include "platform/window.h"

namespace quillory::platform::sim {

class SimWindowServer;

class SimTextField final : public TextField {
public:
    void setStringValue(const std::string& text) override { text_ = text; }
    std::string stringValue() const override { return text_; }

private:
    std::string text_;
};

class SimImageView final : public ImageView {
public:
    void setHidden(bool hidden) override { hidden_ = hidden; }
    bool isHidden() const override { return hidden_; }
    void setPicture(const Picture& picture) override { picture_ = picture; }
    const Picture& picture() const { return picture_; }
    void setRepresentedFile(const std::string& path) override { representedFile_ = path; }
    const std::string& representedFile() const { return representedFile_; }

private:
    bool hidden_ = false;
    Picture picture_;
    std::string representedFile_;
};

// A window that keeps every property in memory and animates on the virtual clock.
class SimWindow final : public Window, public ViewHost {
public:
    SimWindow(SimWindowServer& server, SimRunLoop& runLoop, const Rect& frame, bool canBecomeKey);
    ~SimWindow() override;

    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame, bool display) override;
    double alphaValue() const override { return alpha_; }
    void setAlphaValue(double alpha) override { alpha_ = alpha; }
    void makeKeyAndOrderFront() override;
    void orderOut() override;
    bool isVisible() const override { return visible_; }
    void setLevel(WindowLevel level) override { level_ = level; }
    void setOpaque(bool opaque) override { opaque_ = opaque; }
    void setBackgroundColor(const Color& color) override { background_ = color; }
    void setAcceptsMouseMovedEvents(bool accepts) override { acceptsMouseMoved_ = accepts; }
    void setDelegate(WindowDelegate* delegate) override { delegate_ = delegate; }
    void setContentView(View* view) override;
    TextField& addTextField(const Rect& frame) override;
    ImageView& addImageView(const Rect& frame) override;
    void addButton(const Rect& frame, const std::string& title, std::function<void()> action) override;

    void viewNeedsDisplay(View& view) override;
    Rect convertRectToScreen(const Rect& rect) const override;

    // Animations of the frame and the alpha, stepped every 1/60 s; a new one replaces the old.
    void animateFrame(const Rect& to, double seconds);
    void animateAlpha(double to, double seconds);

    // What a user or the window manager does to the window.
    void resignKey();
    void performClose();
    // Clicks the button titled `title`; false when there is none.
    bool pressButton(const std::string& title);

    bool isKeyWindow() const { return key_; }
    bool canBecomeKeyWindow() const { return canBecomeKey_; }
    WindowLevel level() const { return level_; }
    bool isOpaque() const { return opaque_; }
    const Color& backgroundColor() const { return background_; }
    bool acceptsMouseMovedEvents() const { return acceptsMouseMoved_; }
    View* contentView() const { return contentView_; }
    const std::vector<std::unique_ptr<SimTextField>>& textFields() const { return textFields_; }
    const std::vector<std::unique_ptr<SimImageView>>& imageViews() const { return imageViews_; }
    // Every frame set, animation steps included, oldest first.
    const std::vector<Rect>& frameHistory() const { return frameHistory_; }
    int orderOutCount() const { return orderOutCount_; }

private:
    friend class SimWindowServer;
    struct Button {
        Rect frame;
        std::string title;
        std::function<void()> action;
    };
    template <typename Value, typename Apply>
    void animate(std::uint64_t& generation, Value from, Value to, double seconds, Apply apply);

    SimWindowServer& server_;
    SimRunLoop& runLoop_;
    Rect frame_;
    bool canBecomeKey_;
    double alpha_ = 1.0;
    bool visible_ = false;
    bool key_ = false;
    WindowLevel level_ = WindowLevel::normal;
    bool opaque_ = true;
    Color background_ = Color::white();
    bool acceptsMouseMoved_ = false;
    WindowDelegate* delegate_ = nullptr;
    View* contentView_ = nullptr;
    std::vector<std::unique_ptr<SimTextField>> textFields_;
    std::vector<std::unique_ptr<SimImageView>> imageViews_;
    std::vector<Button> buttons_;
    std::vector<Rect> frameHistory_;
    int orderOutCount_ = 0;
    std::uint64_t frameAnimation_ = 0;
    std::uint64_t alphaAnimation_ = 0;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

class SimWindowServer final : public WindowServer {
public:
    explicit SimWindowServer(SimRunLoop& runLoop) : runLoop_(runLoop) {}

    std::unique_ptr<Window> createPanel(const Rect& frame, bool canBecomeKeyWindow) override;

    // The windows that exist, oldest first.
    const std::vector<SimWindow*>& windows() const { return windows_; }
    // Called by a window as it is destroyed.
    void forget(SimWindow* window);
    // Makes `window` the one key window.
    void becomeKey(SimWindow* window);

private:
    SimRunLoop& runLoop_;
    std::vector<SimWindow*> windows_;
};

class SimAnimationContext final : public GroupedAnimationContext {
public:
    // The durations of the groups ended so far, oldest first.
    const std::vector<double>& groupDurations() const { return durations_; }

protected:
    void groupEnded(double seconds) override { durations_.push_back(seconds); }
    void animate(Window& window, const std::optional<Rect>& frame, const std::optional<double>& alpha,
                 double seconds) override;

private:
    std::vector<double> durations_;
};

}  // namespace quillory::platform::sim
