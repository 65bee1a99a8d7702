#include "app/application_delegate.h"

namespace quillory {

const void* const kContextActivePanel = &kContextActivePanel;

ApplicationDelegate::ApplicationDelegate(const platform::Platform& platform,
                                         PanelController::Inspection inspection)
    : platform_(platform), inspection_(inspection) {}

ApplicationDelegate::~ApplicationDelegate() {
    if (panelController_) panelController_->removeObserver(this, kHasActivePanelKey);
}

void ApplicationDelegate::applicationDidFinishLaunching() {
    setMenubarController(std::make_unique<MenubarController>(platform_));
}

platform::TerminateReply ApplicationDelegate::applicationShouldTerminate() {
    setMenubarController(nullptr);
    return platform::TerminateReply::terminateNow;
}

bool ApplicationDelegate::tryToPerform(std::string_view action, const void* sender) {
    if (action == kTogglePanelAction) {
        togglePanel(sender);
    } else if (action == kExitAction) {
        panelController()->doExit();
    } else {
        return false;
    }
    return true;
}

void ApplicationDelegate::setMenubarController(std::unique_ptr<MenubarController> controller) {
    menubarController_ = std::move(controller);
}

PanelController* ApplicationDelegate::panelController() {
    if (!panelController_) {
        panelController_ = std::make_unique<PanelController>(platform_, inspection_, this);
        panelController_->addObserver(this, kHasActivePanelKey, 0, kContextActivePanel);
    }
    return panelController_.get();
}

void ApplicationDelegate::togglePanel(const void* /*sender*/) {
    MenubarController* menubar = menubarController();
    bool icon = menubar != nullptr && menubar->hasActiveIcon();
    if (menubar != nullptr) menubar->setHasActiveIcon(!icon);
    PanelController* panel = panelController();
    menubar = menubarController();
    panel->setHasActivePanel(menubar != nullptr && menubar->hasActiveIcon());
}

const platform::ScreenLocatable* ApplicationDelegate::statusItemViewForPanelController(
    PanelController& /*c*/) {
    MenubarController* menubar = menubarController();
    return menubar != nullptr ? menubar->statusItemView() : nullptr;
}

void ApplicationDelegate::panelControllerDidShowFile(PanelController& /*controller*/,
                                                     const std::string& path) {
    if (MenubarController* menubar = menubarController()) menubar->setShownFile(path);
}

void ApplicationDelegate::observeValueForKeyPath(std::string_view /*keyPath*/, const void* /*object*/,
                                                 const void* context) {
    if (context != kContextActivePanel) return;
    MenubarController* menubar = menubarController();
    PanelController* panel = panelController();
    if (menubar != nullptr) menubar->setHasActiveIcon(panel->hasActivePanel());
}

}  // namespace quillory
