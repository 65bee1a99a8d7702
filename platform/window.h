#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "platform/graphics.h"
#include "platform/view.h"

namespace quillory::platform {

// Receives a window's notifications; every handler does nothing unless overridden.
class WindowDelegate {
public:
    WindowDelegate() = default;
    WindowDelegate(const WindowDelegate&) = delete;
    WindowDelegate& operator=(const WindowDelegate&) = delete;
    virtual ~WindowDelegate() = default;

    // After every change of the window's size, each step of an animation included.
    virtual void windowDidResize() {}
    // After the window stopped being the key window.
    virtual void windowDidResignKey() {}
    // Before the window closes (by the user or the window manager).
    virtual void windowWillClose() {}
};

// An 8-bit RGB picture, rows top-down; width or height 0 (or no pixels) shows nothing.
struct Picture {
    int width = 0;
    int height = 0;
    std::shared_ptr<const std::vector<std::uint8_t>> rgb;
};

// A label showing one text.
class TextField {
public:
    TextField() = default;
    TextField(const TextField&) = delete;
    TextField& operator=(const TextField&) = delete;
    virtual ~TextField() = default;

    virtual void setStringValue(const std::string& text) = 0;
    // The text shown; empty before the first set.
    virtual std::string stringValue() const = 0;
};

// A view showing one picture, scaled to fit.
class ImageView {
public:
    ImageView() = default;
    ImageView(const ImageView&) = delete;
    ImageView& operator=(const ImageView&) = delete;
    virtual ~ImageView() = default;

    // A hidden view keeps its picture.
    virtual void setHidden(bool hidden) = 0;
    virtual bool isHidden() const = 0;
    virtual void setPicture(const Picture& picture) = 0;
    // The local file the picture comes from, opened on a double click and dragged as a copy;
    // empty for none (the default does nothing with it).
    virtual void setRepresentedFile(const std::string& path) { (void)path; }
    // The longer side of the view's area in device pixels; 0 when unknown.
    virtual int pixelSize() const { return 0; }
};

enum class WindowLevel : std::int64_t { normal = 0, popUpMenu = 101 };

// A top-level window. Frames are in global coordinates (y up, first screen's bottom-left).
class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window() = default;

    virtual Rect frame() const = 0;
    // Moves and sizes the window at once; a size change reaches the delegate's windowDidResize.
    virtual void setFrame(const Rect& frame, bool display) = 0;
    // 0.0 (invisible) to 1.0.
    virtual double alphaValue() const = 0;
    virtual void setAlphaValue(double alpha) = 0;
    // Shows the window in front of all others and makes it the key window.
    virtual void makeKeyAndOrderFront() = 0;
    // Takes the window off the screen; nothing when it is not shown.
    virtual void orderOut() = 0;
    // True while the window is on screen (even fully transparent).
    virtual bool isVisible() const = 0;
    virtual void setLevel(WindowLevel level) = 0;
    virtual void setOpaque(bool opaque) = 0;
    virtual void setBackgroundColor(const Color& color) = 0;
    virtual void setAcceptsMouseMovedEvents(bool accepts) = 0;
    // The handler of the window's notifications; nullptr for none. Not owned.
    virtual void setDelegate(WindowDelegate* delegate) = 0;

    // The view filling the window, drawn by the program; not owned, nullptr for none.
    virtual void setContentView(View* view) = 0;
    // Controls over the content view, owned by the window; frames in the window's coordinates.
    virtual TextField& addTextField(const Rect& frame) = 0;
    virtual ImageView& addImageView(const Rect& frame) = 0;
    // A push button that calls `action` when clicked.
    virtual void addButton(const Rect& frame, const std::string& title, std::function<void()> action) = 0;
};

// Makes windows.
class WindowServer {
public:
    WindowServer() = default;
    WindowServer(const WindowServer&) = delete;
    WindowServer& operator=(const WindowServer&) = delete;
    virtual ~WindowServer() = default;

    // A hidden borderless window at `frame`; `canBecomeKeyWindow` lets it take the keyboard.
    virtual std::unique_ptr<Window> createPanel(const Rect& frame, bool canBecomeKeyWindow) = 0;
};

// The setters of a window that animate inside the current animation group.
class WindowAnimator {
public:
    WindowAnimator() = default;
    WindowAnimator(const WindowAnimator&) = delete;
    WindowAnimator& operator=(const WindowAnimator&) = delete;
    virtual ~WindowAnimator() = default;

    virtual void setFrame(const Rect& frame, bool display) = 0;
    virtual void setAlphaValue(double alpha) = 0;
};

// Groups of animated changes that run together over one duration, with the default timing.
// A new animation of a window's frame or alpha replaces the one running on it.
class AnimationContext {
public:
    AnimationContext() = default;
    AnimationContext(const AnimationContext&) = delete;
    AnimationContext& operator=(const AnimationContext&) = delete;
    virtual ~AnimationContext() = default;

    virtual void beginGrouping() = 0;
    // Seconds for the current group; nothing outside a group.
    virtual void setDuration(double seconds) = 0;
    // Starts the group's animations; an unmatched end does nothing.
    virtual void endGrouping() = 0;
    // The animating proxy of `window`; outside a group its setters apply at once.
    virtual WindowAnimator& animator(Window& window) = 0;
};

}  // namespace quillory::platform
