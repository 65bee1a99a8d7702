#include "menubar/status_item_view.h"

namespace quillory {

namespace {

platform::Rect initialFrame(const platform::Platform& platform, const platform::StatusItem* item) {
    double length = item != nullptr ? item->length() : 0.0;
    return {0.0, 0.0, length, platform.statusBar.thickness()};
}

}  // namespace

StatusItemView::StatusItemView(const platform::Platform& platform,
                               std::shared_ptr<platform::StatusItem> statusItem)
    : View(initialFrame(platform, statusItem.get())),
      platform_(platform),
      statusItem_(std::move(statusItem)) {
    if (statusItem_) statusItem_->setView(this);
}

StatusItemView::~StatusItemView() {
    // The item may outlive the view inside the bar's bookkeeping; it must not point at us.
    if (statusItem_) statusItem_->setView(nullptr);
}

void StatusItemView::setImage(std::shared_ptr<const platform::Image> image) {
    if (image == image_) return;
    image_ = std::move(image);
    setNeedsDisplay(true);
}

void StatusItemView::drawRect(platform::Graphics& graphics, const platform::Rect& /*dirty*/) {
    auto style = platform_.defaults.stringForKey(platform::kInterfaceStyleKey);
    bool dark = style.has_value() && *style == kDarkInterfaceStyle;
    setImage(platform_.images.imageNamed(std::string(dark ? kIconHighlightedImageName : kIconImageName)));
    if (!image_) return;
    platform::Point at = centredImageOrigin(bounds(), image_->size());
    graphics.drawImage(image_.get(), at, platform::CompositingOperation::sourceOver, 1.0);
}

void StatusItemView::mouseDown(const platform::Event& /*event*/) {
    platform_.application.sendAction(action_, target_, this);
}

platform::Rect StatusItemView::globalRect() const {
    const platform::ViewHost* host = window();
    return host != nullptr ? host->convertRectToScreen(frame()) : platform::Rect{};
}

platform::Point centredImageOrigin(const platform::Rect& bounds, const platform::Size& image) {
    return {platform::roundf((bounds.width - image.width) / 2.0),
            platform::roundf((bounds.height - image.height) / 2.0)};
}

}  // namespace quillory
