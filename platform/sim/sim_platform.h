#pragma once

#include <algorithm>
#include <deque>
#include <map>

#include "inspection/read_queue.h"
#include "platform/animation_groups.h"
#include "platform/platform.h"

// Every platform service in memory, for the controller tests: one screen of 1440 x 900, a status
// bar 22 high along its top whose items sit at (988, 878), and a clock that only moves on advance().
namespace quillory::platform::sim {

// A run loop on a virtual clock of whole nanoseconds: what falls due runs in time order, ties
// in the order of scheduling.
struct SimRunLoop final : RunLoop {
    // Dropping the handle invalidates the timer, as the owner's release does.
    struct SimTimer final : Timer {
        ~SimTimer() override { *valid = false; }
        void invalidate() override { *valid = false; }
        bool isValid() const override { return *valid; }
        std::shared_ptr<bool> valid = std::make_shared<bool>(true);
    };
    std::unique_ptr<Timer> scheduledTimer(double seconds, std::function<void(Timer&)> fire) override {
        auto timer = std::make_unique<SimTimer>();
        repeat(std::max<std::int64_t>(toNs(seconds), 1), timer.get(), std::move(fire));
        return timer;
    }
    void repeat(std::int64_t interval, SimTimer* timer, std::function<void(Timer&)> fire) {
        runAt(nowNs + interval, [this, interval, timer, valid = timer->valid, fire] {
            if (*valid) fire(*timer);
            if (*valid) repeat(interval, timer, fire);
        });
    }
    void dispatchAfter(double seconds, std::function<void()> block) override {
        runAt(nowNs + toNs(seconds), std::move(block));
    }
    void runAt(std::int64_t due, std::function<void()> task) { tasks.emplace(std::pair{due, order++}, task); }
    void advance(double seconds) {
        const std::int64_t limit = nowNs + toNs(seconds);
        while (!tasks.empty() && tasks.begin()->first.first <= limit) {
            auto task = tasks.extract(tasks.begin());
            nowNs = task.key().first;
            task.mapped()();
        }
        nowNs = limit;
    }
    static std::int64_t toNs(double seconds) { return std::llround(seconds * 1e9); }

    std::int64_t nowNs = 0;
    std::uint64_t order = 0;
    std::map<std::pair<std::int64_t, std::uint64_t>, std::function<void()>> tasks;
};

// The worker on the virtual clock: reads take `readSeconds` each, one after another, and apply
// on the run loop when done; a negative duration reads and applies at once.
struct SimReadQueue final : ReadQueue {
    explicit SimReadQueue(SimRunLoop& clock) : loop(clock) {}
    void post(Read read) override {
        auto run = [read = std::move(read)] {
            if (Apply apply = read()) apply();
        };
        if (readSeconds < 0) return run();
        busyUntil = std::max(loop.nowNs, busyUntil) + SimRunLoop::toNs(readSeconds);
        loop.runAt(busyUntil, run);
    }
    SimRunLoop& loop;
    double readSeconds = -1.0;
    std::int64_t busyUntil = 0;
};

struct SimTextField final : TextField {
    void setStringValue(const std::string& value) override { text = value; }
    std::string stringValue() const override { return text; }
    std::string text;
};

struct SimImageView final : ImageView {
    void setHidden(bool flag) override { hidden = flag; }
    bool isHidden() const override { return hidden; }
    void setPicture(const Picture& shown) override { picture = shown; }
    bool hidden = false;
    Picture picture;
};

// A window that keeps its state in memory and animates a step a frame on the virtual clock.
struct SimWindow final : Window {
    SimWindow(SimRunLoop& clock, const Rect& frame) : loop(clock), frame_(frame) {}
    Rect frame() const override { return frame_; }
    void setFrame(const Rect& to, bool /*display*/) override {
        const bool resized = to.size() != frame_.size();
        frame_ = to;
        // The content view follows the window's size before the delegate hears of it.
        if (resized && content != nullptr) content->setFrame({0.0, 0.0, to.width, to.height});
        if (resized && delegate != nullptr) delegate->windowDidResize();
    }
    double alphaValue() const override { return alpha; }
    void setAlphaValue(double value) override { alpha = value; }
    void makeKeyAndOrderFront() override { visible = key = true; }
    void orderOut() override {
        visible = false;
        resignKey();
    }
    bool isVisible() const override { return visible; }
    void setLevel(WindowLevel) override {}
    void setOpaque(bool) override {}
    void setBackgroundColor(const Color&) override {}
    void setAcceptsMouseMovedEvents(bool) override {}
    void setDelegate(WindowDelegate* to) override { delegate = to; }
    void setContentView(View* view) override { content = view; }
    TextField& addTextField(const Rect&) override { return fields.emplace_back(); }
    ImageView& addImageView(const Rect&) override { return imageViews.emplace_back(); }
    void addButton(const Rect&, const std::string& title, std::function<void()> action) override {
        buttons[title] = std::move(action);
    }

    // Steps every 1/60 s; a new animation of the frame or the alpha replaces the one running.
    void animate(const std::optional<Rect>& toFrame, const std::optional<double>& toAlpha, double seconds) {
        const Rect fromFrame = frame_;
        const double fromAlpha = alpha;
        const std::uint64_t frameRun = toFrame ? ++frameRuns : 0, alphaRun = toAlpha ? ++alphaRuns : 0;
        const std::int64_t start = loop.nowNs, end = start + SimRunLoop::toNs(seconds);
        for (std::int64_t at = start; at < end;) {
            at = std::min(at + 16'666'667, end);
            const double t = static_cast<double>(at - start) / static_cast<double>(end - start);
            loop.runAt(at, [=, this, alive = std::weak_ptr<int>(alive_)] {
                if (alive.expired()) return;  // the window is gone
                if (toFrame && frameRun == frameRuns) setFrame(interpolate(fromFrame, *toFrame, t), true);
                if (toAlpha && alphaRun == alphaRuns) alpha = interpolate(fromAlpha, *toAlpha, t);
            });
        }
    }
    // What the user or the window manager does.
    void resignKey() {
        if (key && delegate != nullptr) delegate->windowDidResignKey();
        key = false;
    }
    void performClose() {
        if (delegate != nullptr) delegate->windowWillClose();
        orderOut();
    }

    SimRunLoop& loop;
    Rect frame_;
    double alpha = 1.0;
    bool visible = false, key = false;
    WindowDelegate* delegate = nullptr;
    View* content = nullptr;
    std::deque<SimTextField> fields;
    std::deque<SimImageView> imageViews;
    std::map<std::string, std::function<void()>> buttons;
    std::uint64_t frameRuns = 0, alphaRuns = 0;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

struct SimAnimationContext final : GroupedAnimationContext {
    void animate(Window& w, const std::optional<Rect>& frame, const std::optional<double>& alpha,
                 double seconds) override {
        static_cast<SimWindow&>(w).animate(frame, alpha, seconds);
    }
};

// A status item whose window sits at `origin`, or nowhere the tray says.
struct SimStatusItem final : StatusItem, ViewHost {
    explicit SimStatusItem(double length) : width(length) {}
    double length() const override { return width; }
    void setView(View* shown) override {
        if (view != nullptr) view->setWindow(nullptr);
        view = shown;
        if (view != nullptr) view->setWindow(this);
    }
    void setMenu(const std::vector<MenuItem>& items) override { menu = items; }
    void setToolTip(const std::string& text) override { toolTip = text; }
    void viewNeedsDisplay(View&) override { ++displayRequests; }
    Rect convertRectToScreen(const Rect& r) const override {
        return origin ? Rect{origin->x + r.x, origin->y + r.y, r.width, r.height} : Rect{};
    }
    double width;
    View* view = nullptr;
    std::optional<Point> origin = Point{988.0, 878.0};
    std::vector<MenuItem> menu;
    std::string toolTip;
    int displayRequests = 0;
};

// Records the images a display pass draws, and where.
struct SimGraphics final : Graphics {
    void saveGraphicsState() override {}
    void restoreGraphicsState() override {}
    void setFillColor(const Color&) override {}
    void setStrokeColor(const Color&) override {}
    void fill(const Path&) override {}
    void stroke(const Path&) override {}
    void addClip(const Path&) override {}
    void drawImage(const Image* image, Point at, CompositingOperation, double) override {
        images.emplace_back(image, at);
    }
    std::vector<std::pair<const Image*, Point>> images;
};

struct SimImage final : Image {
    Size size() const override { return extent; }
    Size extent{16.0, 16.0};
};

// The platform plays the small services itself.
struct SimPlatform : Application, StatusBar, Screens, WindowServer, ImageStore, UserDefaults, Log, Process {
    Platform services() {
        return {*this, runLoop, animation, *this, *this, *this, *this, *this, bundle, *this, *this};
    }

    std::optional<Event> currentEvent() const override { return event; }
    void activateIgnoringOtherApps(bool) override {}
    bool sendAction(std::string_view action, Responder* target, const void* sender) override {
        Responder* receiver = target != nullptr ? target : delegate;
        return !action.empty() && receiver != nullptr && receiver->tryToPerform(action, sender);
    }
    void terminate() override {
        terminated = delegate->applicationShouldTerminate() == TerminateReply::terminateNow;
    }
    double thickness() const override { return 22.0; }
    std::shared_ptr<StatusItem> statusItemWithLength(double length) override {
        return items.emplace_back(std::make_shared<SimStatusItem>(length));
    }
    void removeStatusItem(const StatusItem* item) override {
        std::erase_if(items, [item](const auto& held) { return held.get() == item; });
    }
    std::vector<Rect> frames() const override { return {{0.0, 0.0, 1440.0, 900.0}}; }
    Rect firstVisibleFrame() const override { return visible; }
    std::unique_ptr<Window> createPanel(const Rect& frame, bool) override {
        newestWindow = new SimWindow(runLoop, frame);
        return std::unique_ptr<Window>(newestWindow);
    }
    // Any name gives an image of 16 x 16 unless a test put another there.
    std::shared_ptr<const Image> imageNamed(const std::string& name) override {
        auto& image = named[name];
        if (!image) image = std::make_shared<SimImage>();
        return image;
    }
    // The interface style is the only setting the program reads.
    std::optional<std::string> stringForKey(std::string_view) const override { return style; }
    // Keeps the last line only: a long session logs a line a fill.
    void log(std::string_view line) override {
        ++logCount;
        lastLog = line;
    }
    // Records exit requests instead of ending the test process.
    void exit(int status) override { exits.push_back(status); }

    void launch(AppDelegate& launched) {
        delegate = &launched;
        launched.applicationDidFinishLaunching();
    }
    // A mouse-down in the newest status item's view with `modifiers` held, at `at` (the icon's
    // middle when the tray knows where it is).
    void clickStatusItem(std::uint64_t modifiers = 0, std::optional<Point> at = std::nullopt) {
        const Rect icon = statusItem()->convertRectToScreen(statusItem()->view->frame());
        if (!at && !icon.isZero()) at = Point{icon.midX(), icon.y + icon.height / 2.0};
        event = Event{kLeftMouseDown, modifiers, at};
        statusItem()->view->mouseDown(*event);
        event.reset();
    }
    // Chooses `title` in the newest status item's menu, opened at `at`.
    void chooseStatusMenuItem(const std::string& title, std::optional<Point> at = std::nullopt) {
        event = Event{kLeftMouseDown, 0, at};
        for (const MenuItem& entry : statusItem()->menu) {
            if (entry.title == title) sendAction(entry.action, nullptr, statusItem()->view);
        }
        event.reset();
    }
    // Draws the status item views and the shown window's content that asked to be drawn.
    void displayPass(Graphics& graphics) {
        View* content = newestWindow != nullptr && newestWindow->visible ? newestWindow->content : nullptr;
        for (View* view : {statusItem()->view, content}) {
            if (view != nullptr && view->needsDisplay()) view->display(graphics);
        }
    }
    void advance(double seconds) { runLoop.advance(seconds); }
    SimStatusItem* statusItem() const { return items.empty() ? nullptr : items.back().get(); }
    SimWindow* window() const { return newestWindow; }

    SimRunLoop runLoop;
    SimAnimationContext animation;
    BuildBundle bundle;
    AppDelegate* delegate = nullptr;
    std::optional<Event> event;
    bool terminated = false;
    std::vector<std::shared_ptr<SimStatusItem>> items;
    SimWindow* newestWindow = nullptr;  // the newest window, while its owner lives
    std::map<std::string, std::shared_ptr<const Image>> named;
    std::optional<std::string> style;
    Rect visible{0.0, 0.0, 1440.0, 878.0};  // the status bar's strip left out
    long logCount = 0;
    std::string lastLog;
    std::vector<int> exits;
};

}  // namespace quillory::platform::sim
