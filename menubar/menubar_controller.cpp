#include "menubar/menubar_controller.h"

namespace quillory {

MenubarController::MenubarController(const platform::Platform& platform) : platform_(platform) {
    auto item = platform_.statusBar.statusItemWithLength(kStatusItemLength);
    statusItemView_ = std::make_unique<StatusItemView>(platform_, std::move(item));
    statusItemView_->setImage(platform_.images.imageNamed(std::string(kStatusImageName)));
    // No target: the click travels the responder chain to the application delegate.
    statusItemView_->setAction(std::string(kTogglePanelAction));
    updateMenu();
    setShownFile({});
}

MenubarController::~MenubarController() {
    platform_.statusBar.removeStatusItem(statusItem());
}

void MenubarController::setHasActiveIcon(bool flag) {
    if (flag == hasActiveIcon_) return;
    hasActiveIcon_ = flag;
    updateMenu();
}

void MenubarController::setShownFile(const std::string& path) {
    platform::StatusItem* item = statusItem();
    if (item == nullptr) return;
    const std::string name = path.substr(path.rfind('/') + 1);
    item->setToolTip(name.empty() ? std::string(kProgramName) : std::string(kProgramName) + ": " + name);
}

// The same actions as a click on the icon and the panel's exit control.
void MenubarController::updateMenu() {
    platform::StatusItem* item = statusItem();
    if (item == nullptr) return;
    item->setMenu(
        {{std::string(hasActiveIcon_ ? kHidePanelTitle : kShowPanelTitle), std::string(kTogglePanelAction)},
         {std::string(kQuitTitle), std::string(kExitAction)}});
}

}  // namespace quillory
