#pragma once

#include <memory>
#include <string_view>

#include "menubar/menubar_controller.h"
#include "panel/panel_controller.h"
#include "platform/application.h"
#include "platform/observation.h"
#include "platform/platform.h"

namespace quillory {

// The context token of the one observation: a constant compared by identity, never read.
extern const void* const kContextActivePanel;

// The root of the program: creates the menu-bar controller at launch and the panel controller
// on the first click, turns clicks into the panel's active state and mirrors that state back
// into the icon's flag.
class ApplicationDelegate final : public platform::AppDelegate,
                                  public PanelControllerDelegate,
                                  public platform::Observer {
public:
    ApplicationDelegate(const platform::Platform& platform, PanelController::Inspection inspection);
    // Ends the observation of a panel controller that exists; never creates one.
    ~ApplicationDelegate() override;

    void applicationDidFinishLaunching() override;
    // Removes the icon and always answers terminateNow.
    platform::TerminateReply applicationShouldTerminate() override;
    // Performs "togglePanel:" and "doExit:" (the icon menu's Quit, as the panel's exit
    // control); false for any other action.
    bool tryToPerform(std::string_view action, const void* sender) override;

    // Flips the icon flag, then hands it to the panel controller (created on the first click).
    void togglePanel(const void* sender);

    // The panel controller, created and observed on the first call.
    PanelController* panelController();
    // The panel controller if one was created; nullptr otherwise.
    PanelController* existingPanelController() const { return panelController_.get(); }
    MenubarController* menubarController() const { return menubarController_.get(); }
    void setMenubarController(std::unique_ptr<MenubarController> controller);

    // The menu-bar controller's view; nullptr without a menu-bar controller.
    const platform::ScreenLocatable* statusItemViewForPanelController(PanelController& controller) override;
    // The icon's tooltip names the photo the panel shows.
    void panelControllerDidShowFile(PanelController& controller, const std::string& path) override;
    // Copies hasActivePanel into hasActiveIcon for kContextActivePanel; other contexts
    // change nothing.
    void observeValueForKeyPath(std::string_view keyPath, const void* object, const void* context) override;

private:
    platform::Platform platform_;
    PanelController::Inspection inspection_;
    std::unique_ptr<MenubarController> menubarController_;
    std::unique_ptr<PanelController> panelController_;
};

}  // namespace quillory
