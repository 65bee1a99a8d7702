#pragma once

#include <memory>

#include "menubar/status_item_view.h"
#include "platform/platform.h"

namespace quillory {

inline constexpr double kStatusItemLength = 24.0;
inline constexpr std::string_view kStatusImageName = "Status";
inline constexpr std::string_view kTogglePanelAction = "togglePanel:";

// The program's one entry in the status bar, and the icon's side of the panel's state.
class MenubarController {
public:
    // Puts a 24-point item with its view into the status bar.
    explicit MenubarController(const platform::Platform& platform);
    // Removes exactly the item it created from the status bar.
    ~MenubarController();
    MenubarController(const MenubarController&) = delete;
    MenubarController& operator=(const MenubarController&) = delete;

    StatusItemView* statusItemView() const { return statusItemView_.get(); }
    // The view's status item; the controller keeps none of its own.
    platform::StatusItem* statusItem() const { return statusItemView_->statusItem().get(); }

    // Whether the panel is meant to be active; storing it changes nothing on screen.
    bool hasActiveIcon() const { return hasActiveIcon_; }
    void setHasActiveIcon(bool flag) { hasActiveIcon_ = flag; }

private:
    platform::Platform platform_;
    std::unique_ptr<StatusItemView> statusItemView_;
    bool hasActiveIcon_ = false;
};

}  // namespace quillory
