#pragma once

#include <memory>

#include "menubar/status_item_view.h"
#include "platform/platform.h"

namespace quillory {

inline constexpr double kStatusItemLength = 24.0;
inline constexpr std::string_view kStatusImageName = "Status";
inline constexpr std::string_view kTogglePanelAction = "togglePanel:";
inline constexpr std::string_view kExitAction = "doExit:";
inline constexpr std::string_view kShowPanelTitle = "Show Panel";
inline constexpr std::string_view kHidePanelTitle = "Hide Panel";
inline constexpr std::string_view kQuitTitle = "Quit";
inline constexpr std::string_view kProgramName = "Quillory";

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

    // Whether the panel is open; the icon looks the same either way, the menu offers to show
    // a closed panel and to hide an open one.
    bool hasActiveIcon() const { return hasActiveIcon_; }
    void setHasActiveIcon(bool flag);
    // The icon's tooltip names the photo at `path`; empty: none.
    void setShownFile(const std::string& path);

private:
    void updateMenu();

    platform::Platform platform_;
    std::unique_ptr<StatusItemView> statusItemView_;
    bool hasActiveIcon_ = false;
};

}  // namespace quillory
