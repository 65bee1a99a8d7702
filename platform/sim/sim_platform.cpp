#include "platform/sim/sim_platform.h"

namespace quillory::platform::sim {

SimPlatform::SimPlatform() {
    screens.setFrames({{0.0, 0.0, 1440.0, 900.0}});
    statusBar.setNewItemOrigin(Point{988.0, 878.0});
    for (const char* name : {"Status", "Icon", "IconHighlighted"}) images.addImage(name, {16.0, 16.0});
    bundle.set(kShortVersionKey, "1.2");
}

Platform SimPlatform::services() {
    return {application, runLoop,  animation, statusBar, screens, windows,
            images,      defaults, bundle,    log,       process};
}

SimStatusItem* SimPlatform::statusItem() const {
    return statusBar.items().empty() ? nullptr : statusBar.items().back().get();
}

SimWindow* SimPlatform::window() const {
    return windows.windows().empty() ? nullptr : windows.windows().back();
}

bool SimPlatform::clickStatusItem(std::uint64_t modifiers, std::optional<Point> location) {
    SimStatusItem* item = statusItem();
    View* view = item != nullptr ? item->view() : nullptr;
    if (view == nullptr) return false;
    if (!location) {
        Rect icon = item->convertRectToScreen(view->frame());
        if (!icon.isZero()) location = Point{icon.midX(), icon.y + icon.height / 2.0};
    }
    application.setCurrentEvent(Event{kLeftMouseDown, modifiers, location});
    view->mouseDown(*application.currentEvent());
    application.setCurrentEvent(std::nullopt);
    return true;
}

bool SimPlatform::chooseStatusMenuItem(const std::string& title, std::optional<Point> openedAt) {
    SimStatusItem* item = statusItem();
    if (item == nullptr) return false;
    for (const MenuItem& entry : item->menu()) {
        if (entry.title != title) continue;
        application.setCurrentEvent(Event{kLeftMouseDown, 0, openedAt});
        application.sendAction(entry.action, nullptr, item->view());
        application.setCurrentEvent(std::nullopt);
        return true;
    }
    return false;
}

int SimPlatform::displayPass(SimGraphics& graphics) {
    int drawn = 0;
    for (const auto& item : statusBar.items()) {
        if (item->view() != nullptr && item->view()->needsDisplay()) {
            item->view()->display(graphics);
            ++drawn;
        }
    }
    for (SimWindow* window : windows.windows()) {
        View* content = window->contentView();
        if (window->isVisible() && content != nullptr && content->needsDisplay()) {
            content->display(graphics);
            ++drawn;
        }
    }
    return drawn;
}

}  // namespace quillory::platform::sim
