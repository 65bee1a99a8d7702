#pragma once

#include <memory>

#include "panel/background_view.h"
#include "platform/window.h"

namespace quillory {

class PanelController;

// The panel window with its views, built in code and connected to its controller the way a
// loaded interface file would be: window delegate, background view, outlets, two controls.
class Panel {
public:
    // Builds the panel (hidden) and connects it to `owner`; nullptr when no window can be made.
    static std::unique_ptr<Panel> load(platform::WindowServer& windows, PanelController& owner);
    ~Panel();
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;

    platform::Window& window() const { return *window_; }
    // The panel has no title bar, yet it takes the keyboard.
    static constexpr bool canBecomeKeyWindow() { return true; }

private:
    explicit Panel(std::unique_ptr<platform::Window> window);

    BackgroundView backgroundView_;
    std::unique_ptr<platform::Window> window_;
};

}  // namespace quillory
