#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/status_bar.h"
#include "platform/view.h"

namespace quillory {

inline constexpr std::string_view kDarkInterfaceStyle = "Dark";
inline constexpr std::string_view kIconImageName = "Icon";
inline constexpr std::string_view kIconHighlightedImageName = "IconHighlighted";

// The icon in the status item: drawn by the menu bar's appearance, centred; a press sends
// the action. It has no highlighted state.
class StatusItemView final : public platform::View, public platform::ScreenLocatable {
public:
    // Sizes itself after the item's length and the bar's thickness and shows itself in `item`.
    StatusItemView(const platform::Platform& platform, std::shared_ptr<platform::StatusItem> statusItem);
    ~StatusItemView() override;

    const std::shared_ptr<platform::StatusItem>& statusItem() const { return statusItem_; }

    const std::shared_ptr<const platform::Image>& image() const { return image_; }
    // Stores `image` and asks for a redraw, only when it is another object than the one held.
    void setImage(std::shared_ptr<const platform::Image> image);
    const std::shared_ptr<const platform::Image>& alternateImage() const { return alternateImage_; }
    void setAlternateImage(std::shared_ptr<const platform::Image> image) {
        alternateImage_ = std::move(image);
    }

    const std::string& action() const { return action_; }
    void setAction(std::string action) { action_ = std::move(action); }
    platform::Responder* target() const { return target_; }
    void setTarget(platform::Responder* target) { target_ = target; }

    void drawRect(platform::Graphics& graphics, const platform::Rect& dirty) override;
    void mouseDown(const platform::Event& event) override;
    // The frame in screen coordinates; the zero rectangle when not in a window.
    platform::Rect globalRect() const override;

private:
    platform::Platform platform_;
    std::shared_ptr<const platform::Image> image_;
    std::shared_ptr<const platform::Image> alternateImage_;
    std::shared_ptr<platform::StatusItem> statusItem_;
    std::string action_;
    platform::Responder* target_ = nullptr;
};

// Where an image of `image` size is drawn centred in `bounds` (the origin is not added).
platform::Point centredImageOrigin(const platform::Rect& bounds, const platform::Size& image);

}  // namespace quillory
