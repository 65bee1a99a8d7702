#pragma once

#include "platform/geometry.h"
#include "platform/graphics.h"

namespace quillory::platform {

class View;
struct Event;

// Where a view is shown (a window or a status item), as the platform provides it.
class ViewHost {
public:
    ViewHost() = default;
    ViewHost(const ViewHost&) = delete;
    ViewHost& operator=(const ViewHost&) = delete;
    virtual ~ViewHost() = default;

    // Schedules a display pass in which `view` is drawn; nothing when it is not shown.
    virtual void viewNeedsDisplay(View& view) = 0;
    // `rect`, in the host window's coordinates, in screen coordinates; the zero rectangle
    // when the window has no on-screen geometry.
    virtual Rect convertRectToScreen(const Rect& rect) const = 0;
};

// A rectangle of a window that the program draws itself. Copying is deleted; the platform
// holds a pointer to a view while it shows it.
class View {
public:
    explicit View(const Rect& frame) : frame_(frame) {}
    View(const View&) = delete;
    View& operator=(const View&) = delete;
    virtual ~View() = default;

    // The frame in the host's coordinates.
    Rect frame() const { return frame_; }
    void setFrame(const Rect& frame) { frame_ = frame; }
    // The view's own rectangle: origin (0, 0), the frame's size.
    Rect bounds() const { return {0.0, 0.0, frame_.width, frame_.height}; }

    // Where the view is shown; nullptr when nowhere.
    ViewHost* window() const { return host_; }
    // Called by the platform when it shows the view (or stops, with nullptr).
    void setWindow(ViewHost* host) { host_ = host; }

    // Marks the whole view for drawing in a later display pass, never at once.
    void setNeedsDisplay(bool flag) {
        needsDisplay_ = flag;
        if (flag && host_ != nullptr) host_->viewNeedsDisplay(*this);
    }
    bool needsDisplay() const { return needsDisplay_; }

    // The display pass: clears the mark first, so a request made while drawing stays.
    void display(Graphics& graphics) {
        needsDisplay_ = false;
        drawRect(graphics, bounds());
    }

    // Paints the view; `dirty` is the part the platform will show.
    virtual void drawRect(Graphics& graphics, const Rect& dirty) = 0;
    // A mouse button went down inside the view.
    virtual void mouseDown(const Event& event) { (void)event; }

private:
    Rect frame_;
    ViewHost* host_ = nullptr;
    bool needsDisplay_ = false;
};

}  // namespace quillory::platform
