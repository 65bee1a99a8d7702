#include "panel/panel_controller.h"

#include "panel/panel.h"
#include "panel/placement.h"

namespace quillory {

using platform::Rect;

// The four panel operations of the fill, written into the outlets; an outlet that is not
// connected yet skips the write.
class PanelController::Content final : public PanelContent {
public:
    explicit Content(PanelController& owner) : owner_(owner) {}

    void setVersionText(const std::string& text) override {
        if (owner_.oVersion_ != nullptr) owner_.oVersion_->setStringValue(text);
    }
    void setSummaryText(const std::string& text) override {
        if (owner_.oExifData_ != nullptr) owner_.oExifData_->setStringValue(text);
    }
    void setPreviewHidden(bool hidden) override {
        if (owner_.oImage_ != nullptr) owner_.oImage_->setHidden(hidden);
    }
    void setPreviewPicture(std::shared_ptr<const Bitmap> picture) override {
        if (owner_.oImage_ == nullptr) return;
        platform::Picture shown;
        if (picture) {
            // Shares the pixels with the bitmap instead of copying them.
            shown = {picture->width, picture->height,
                     std::shared_ptr<const std::vector<std::uint8_t>>(picture, &picture->rgb)};
        }
        owner_.oImage_->setPicture(shown);
    }
    int previewPixelSize() const override {
        return owner_.oImage_ != nullptr ? owner_.oImage_->pixelSize() : 0;
    }
    void setPreviewFile(const std::string& path) override {
        if (owner_.oImage_ != nullptr) owner_.oImage_->setRepresentedFile(path);
        if (owner_.delegate_ != nullptr) owner_.delegate_->panelControllerDidShowFile(owner_, path);
    }

private:
    PanelController& owner_;
};

PanelController::PanelController(const platform::Platform& platform, Inspection inspection,
                                 PanelControllerDelegate* delegate)
    : platform_(platform),
      delegate_(delegate),
      content_(std::make_unique<Content>(*this)),
      inspector_(Inspector::Services{inspection.selection, inspection.images, inspection.reads,
                                     [bundle = &platform.bundle] {
                                         return bundle->objectForInfoDictionaryKey(
                                             platform::kShortVersionKey);
                                     },
                                     [log = &platform.log](std::string_view line) { log->log(line); }}) {}

PanelController::~PanelController() {
    timer_.reset();
    pendingHide_.reset();
    inspector_.setPanel(nullptr);
}

void PanelController::setHasActivePanel(bool flag) {
    if (flag != hasActivePanel_) {
        hasActivePanel_ = flag;
        if (flag) {
            openPanel();
        } else {
            closePanel();
        }
    }
    observers_.didChangeValueForKey(kHasActivePanelKey);
}

void PanelController::addObserver(platform::Observer* observer, std::string_view keyPath, int /*options*/,
                                  const void* context) {
    observers_.addObserver(observer, keyPath, context);
}

void PanelController::removeObserver(const platform::Observer* observer, std::string_view keyPath) {
    observers_.removeObserver(observer, keyPath);
}

platform::Window* PanelController::loadedWindow() const {
    return panel_ ? &panel_->window() : nullptr;
}

platform::Window* PanelController::window() {
    if (!panel_) {
        panel_ = Panel::load(platform_.windows, *this);
        if (!panel_) return nullptr;
        inspector_.setPanel(content_.get());
        awakeFromNib();
    }
    return loadedWindow();
}

void PanelController::awakeFromNib() {
    platform::Window* panel = loadedWindow();
    if (panel == nullptr) return;
    panel->setAcceptsMouseMovedEvents(true);
    panel->setLevel(platform::WindowLevel::popUpMenu);
    panel->setOpaque(false);
    panel->setBackgroundColor(platform::Color::clear());
    FillPanel();
}

void PanelController::windowWillClose() {
    setHasActivePanel(false);
}

// The panel stays open while the user works in the file manager, and clicking the tray may
// itself take the key status away: the flag must still say "open" so that this click closes it.
void PanelController::windowDidResignKey() {}

void PanelController::windowDidResize() {
    platform::Window* panel = loadedWindow();
    Rect status = statusRectForWindow(panel);
    Rect frame = panel != nullptr ? panel->frame() : Rect{};
    if (backgroundView_ != nullptr) backgroundView_->setArrowX(arrowXFor(status, frame));
}

void PanelController::doClose() {
    if (hasActivePanel_) {
        setHasActivePanel(false);
    } else {
        closePanel();
    }
}

void PanelController::doExit() {
    platform_.process.exit(0);
}

std::optional<Rect> PanelController::iconRectFromClick(const Rect& screen, double thickness) {
    auto event = platform_.application.currentEvent();
    // A click away from every bar (an icon in a tray's popup) says the icon is not where an
    // earlier one was; a click without a position (a menu) says nothing new.
    if (event && event->type == platform::kLeftMouseDown && event->locationInScreen) {
        lastClick_ = iconRectAroundClick(*event->locationInScreen, screen, thickness)
                         ? event->locationInScreen
                         : std::nullopt;
    }
    if (!lastClick_) return std::nullopt;
    return iconRectAroundClick(*lastClick_, screen, thickness);
}

Rect PanelController::statusRectForWindow(const platform::Window* /*window*/) {
    const Rect screen = platform_.screens.firstFrame();
    const double thickness = platform_.statusBar.thickness();
    const platform::ScreenLocatable* view =
        delegate_ != nullptr ? delegate_->statusItemViewForPanelController(*this) : nullptr;
    Rect icon = view != nullptr ? view->globalRect() : Rect{};
    if (icon.isZero()) {
        // The tray does not say where the icon is: the click, or the host's word for it, is the
        // best witness; without one the tray's usual place.
        auto fromClick = iconRectFromClick(screen, thickness);
        if (!fromClick) return barEndStatusRect(screen, platform_.screens.firstVisibleFrame(), thickness);
        icon = *fromClick;
    }
    return statusRectBelowIcon(icon);
}

void PanelController::openPanel() {
    if (timer_) timer_->invalidate();
    FillPanel();
    timer_ =
        platform_.runLoop.scheduledTimer(kPollInterval, [this](platform::Timer& firing) { timer(&firing); });
    platform::Window* panel = window();
    if (panel == nullptr) return;
    pendingHide_.reset();  // a hide scheduled by an earlier closing must not hide this opening

    const Rect screen = platform_.screens.firstFrame();
    const Rect status = statusRectForWindow(panel);
    const PanelPlacement placement = placePanel(status, screen);
    if (backgroundView_ != nullptr) backgroundView_->setArrowEdge(placement.edge);

    platform_.application.activateIgnoringOtherApps(false);
    panel->setAlphaValue(0.0);
    panel->setFrame(placement.start, true);
    panel->makeKeyAndOrderFront();

    const OpeningTiming timing = openingTiming(platform_.application.currentEvent());
    if (timing.logPlacement) platform_.log.log(placementLogLine(status, screen, placement.frame));

    platform_.animation.beginGrouping();
    platform_.animation.setDuration(timing.duration);
    platform_.animation.animator(*panel).setFrame(placement.frame, true);
    platform_.animation.animator(*panel).setAlphaValue(1.0);
    platform_.animation.endGrouping();
}

void PanelController::closePanel() {
    if (timer_) timer_->invalidate();
    platform::Window* panel = window();
    if (panel == nullptr) return;

    platform_.animation.beginGrouping();
    platform_.animation.setDuration(kCloseDuration);
    platform_.animation.animator(*panel).setAlphaValue(0.0);
    platform_.animation.endGrouping();

    if (!pendingHide_) pendingHide_ = std::make_shared<int>(0);
    platform_.runLoop.dispatchAfter(kHideDelay, [this, pending = std::weak_ptr<int>(pendingHide_)] {
        if (pending.expired()) return;  // reopened since, or the controller is gone
        if (platform::Window* shown = loadedWindow()) shown->orderOut();
    });
}

void PanelController::timer(platform::Timer* /*firing*/) {
    inspector_.timer();
}

void PanelController::FillPanel() {
    inspector_.FillPanel();
}

void PanelController::updateText(const Url& url) {
    inspector_.updateText(url);
}

}  // namespace quillory
