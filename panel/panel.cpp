#include "panel/panel.h"

#include "panel/panel_controller.h"
#include "panel/placement.h"

namespace quillory {

namespace {

// Layout inside the 280 x 400 panel (y up), clear of an arrow on either edge.
constexpr platform::Rect kContentFrame{0.0, 0.0, kPanelWidth, kPanelHeight};
constexpr platform::Rect kPreviewFrame{20.0, 222.0, 240.0, 160.0};
constexpr platform::Rect kSummaryFrame{20.0, 70.0, 240.0, 146.0};
constexpr platform::Rect kVersionFrame{20.0, 46.0, 240.0, 18.0};
constexpr platform::Rect kCloseFrame{20.0, 14.0, 110.0, 26.0};
constexpr platform::Rect kExitFrame{150.0, 14.0, 110.0, 26.0};

}  // namespace

Panel::Panel(std::unique_ptr<platform::Window> window)
    : backgroundView_(kContentFrame), window_(std::move(window)) {}

Panel::~Panel() {
    window_->setDelegate(nullptr);
    window_->setContentView(nullptr);
}

std::unique_ptr<Panel> Panel::load(platform::WindowServer& windows, PanelController& owner) {
    auto window = windows.createPanel(kContentFrame, canBecomeKeyWindow());
    if (!window) return nullptr;
    std::unique_ptr<Panel> panel(new Panel(std::move(window)));
    platform::Window& w = *panel->window_;
    w.setContentView(&panel->backgroundView_);
    w.setDelegate(&owner);
    owner.setBackgroundView(&panel->backgroundView_);
    owner.setOImage(&w.addImageView(kPreviewFrame));
    owner.setOExifData(&w.addTextField(kSummaryFrame));
    owner.setOVersion(&w.addTextField(kVersionFrame));
    w.addButton(kCloseFrame, "Close", [&owner] { owner.doClose(); });
    w.addButton(kExitFrame, "Quit", [&owner] { owner.doExit(); });
    return panel;
}

}  // namespace quillory
