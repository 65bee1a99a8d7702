#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/application.h"
#include "platform/bundle.h"
#include "platform/graphics.h"
#include "platform/log.h"
#include "platform/process.h"
#include "platform/screens.h"
#include "platform/status_bar.h"
#include "platform/user_defaults.h"

namespace quillory::platform::sim {

// A status item whose window sits at a settable screen origin, or nowhere on screen.
class SimStatusItem final : public StatusItem, public ViewHost {
public:
    explicit SimStatusItem(double length) : length_(length) {}
    ~SimStatusItem() override;

    double length() const override { return length_; }
    void setView(View* view) override;
    void viewNeedsDisplay(View& view) override;
    Rect convertRectToScreen(const Rect& rect) const override;
    void setMenu(const std::vector<MenuItem>& items) override { menu_ = items; }
    void setToolTip(const std::string& text) override { toolTip_ = text; }

    View* view() const { return view_; }
    const std::vector<MenuItem>& menu() const { return menu_; }
    const std::string& toolTip() const { return toolTip_; }
    // Where the item's window is; none makes convertRectToScreen answer the zero rectangle.
    void setWindowOrigin(std::optional<Point> origin) { origin_ = origin; }
    // Redraw requests made by the view since creation.
    int displayRequests() const { return displayRequests_; }

private:
    double length_;
    View* view_ = nullptr;
    std::optional<Point> origin_;
    int displayRequests_ = 0;
    std::vector<MenuItem> menu_;
    std::string toolTip_;
};

class SimStatusBar final : public StatusBar {
public:
    explicit SimStatusBar(double thickness) : thickness_(thickness) {}

    double thickness() const override { return thickness_; }
    std::shared_ptr<StatusItem> statusItemWithLength(double length) override;
    void removeStatusItem(const StatusItem* item) override;

    // The items in the bar, oldest first.
    const std::vector<std::shared_ptr<SimStatusItem>>& items() const { return items_; }
    // Where the windows of items made from now on sit; none for a tray that does not say.
    void setNewItemOrigin(std::optional<Point> origin) { newItemOrigin_ = origin; }

private:
    double thickness_;
    std::optional<Point> newItemOrigin_;
    std::vector<std::shared_ptr<SimStatusItem>> items_;
};

// An application whose current event the test sets.
class SimApplication final : public Application {
public:
    struct SentAction {
        std::string action;
        const void* sender;
        bool performed;
    };

    std::optional<Event> currentEvent() const override { return currentEvent_; }
    void activateIgnoringOtherApps(bool flag) override { activations_.push_back(flag); }
    bool sendAction(std::string_view action, Responder* target, const void* sender) override;
    void terminate() override;

    // Sets the delegate and tells it that launching has finished.
    void launch(AppDelegate& delegate);
    void setCurrentEvent(std::optional<Event> event) { currentEvent_ = std::move(event); }
    const std::vector<bool>& activations() const { return activations_; }
    const std::vector<SentAction>& sentActions() const { return sent_; }
    // True once a quit request was answered with terminateNow.
    bool terminated() const { return terminated_; }

private:
    AppDelegate* delegate_ = nullptr;
    std::optional<Event> currentEvent_;
    std::vector<bool> activations_;
    std::vector<SentAction> sent_;
    bool terminated_ = false;
};

class SimImage final : public Image {
public:
    explicit SimImage(Size size) : size_(size) {}
    Size size() const override { return size_; }

private:
    Size size_;
};

class SimImageStore final : public ImageStore {
public:
    std::shared_ptr<const Image> imageNamed(const std::string& name) override;
    // Adds (or replaces) the resource `name`.
    std::shared_ptr<const Image> addImage(const std::string& name, Size size);

private:
    std::map<std::string, std::shared_ptr<const Image>> images_;
};

class SimScreens final : public Screens {
public:
    std::vector<Rect> frames() const override { return frames_; }
    void setFrames(std::vector<Rect> frames) { frames_ = std::move(frames); }

private:
    std::vector<Rect> frames_;
};

class SimUserDefaults final : public UserDefaults {
public:
    std::optional<std::string> stringForKey(std::string_view key) const override;
    // Stores `value` under `key`; none removes it.
    void set(std::string_view key, std::optional<std::string> value);

private:
    std::map<std::string, std::string, std::less<>> values_;
};

class SimBundle final : public Bundle {
public:
    std::optional<std::string> objectForInfoDictionaryKey(std::string_view key) const override;
    void set(std::string_view key, std::optional<std::string> value);

private:
    std::map<std::string, std::string, std::less<>> values_;
};

class SimLog final : public Log {
public:
    void log(std::string_view message) override { lines_.emplace_back(message); }
    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

// Records exit requests instead of ending the test process.
class SimProcess final : public Process {
public:
    void exit(int status) override { exits_.push_back(status); }
    const std::vector<int>& exits() const { return exits_; }

private:
    std::vector<int> exits_;
};

// Records every drawing call of a display pass.
class SimGraphics final : public Graphics {
public:
    struct Call {
        enum class Op { save, restore, setFill, setStroke, fill, stroke, clip, image };
        Op op;
        Path path;
        Color color;
        const Image* image = nullptr;
        Point at;
    };

    void saveGraphicsState() override { record(Call::Op::save); }
    void restoreGraphicsState() override { record(Call::Op::restore); }
    void setFillColor(const Color& color) override { record(Call::Op::setFill, {}, color); }
    void setStrokeColor(const Color& color) override { record(Call::Op::setStroke, {}, color); }
    void fill(const Path& path) override { record(Call::Op::fill, path); }
    void stroke(const Path& path) override { record(Call::Op::stroke, path); }
    void addClip(const Path& path) override { record(Call::Op::clip, path); }
    void drawImage(const Image* image, Point at, CompositingOperation, double) override {
        if (image != nullptr) calls_.push_back({Call::Op::image, {}, {}, image, at});
    }

    const std::vector<Call>& calls() const { return calls_; }
    void clear() { calls_.clear(); }

private:
    void record(Call::Op op, const Path& path = {}, const Color& color = {}) {
        calls_.push_back({op, path, color, nullptr, {}});
    }

    std::vector<Call> calls_;
};

}  // namespace quillory::platform::sim
