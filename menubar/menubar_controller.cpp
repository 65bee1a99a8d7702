#include "menubar/menubar_controller.h"

namespace quillory {

MenubarController::MenubarController(const platform::Platform& platform) : platform_(platform) {
    auto item = platform_.statusBar.statusItemWithLength(kStatusItemLength);
    statusItemView_ = std::make_unique<StatusItemView>(platform_, std::move(item));
    statusItemView_->setImage(platform_.images.imageNamed(std::string(kStatusImageName)));
    // No target: the click travels the responder chain to the application delegate.
    statusItemView_->setAction(std::string(kTogglePanelAction));
}

MenubarController::~MenubarController() {
    platform_.statusBar.removeStatusItem(statusItem());
}

}  // namespace quillory
