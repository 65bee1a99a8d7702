#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "platform/view.h"

namespace quillory::platform {

// An entry of a status item's menu.
struct MenuItem {
    std::string title;
    std::string action;
};

// One entry of the status bar (a tray icon).
class StatusItem {
public:
    StatusItem() = default;
    StatusItem(const StatusItem&) = delete;
    StatusItem& operator=(const StatusItem&) = delete;
    virtual ~StatusItem() = default;

    // Width in points, as created.
    virtual double length() const = 0;
    // Shows `view` in the item and becomes its window; nullptr shows nothing. Not owned.
    virtual void setView(View* view) = 0;
    // The menu shown on the tray's menu gesture; empty: none. Choosing an entry sends its
    // action with no target and the view as sender, the current event being a left mouse-down
    // where the menu was opened, as a click there would be.
    virtual void setMenu(const std::vector<MenuItem>& items) = 0;
    // The text shown while the pointer rests on the icon.
    virtual void setToolTip(const std::string& text) = 0;
};

// The system status bar (the tray).
class StatusBar {
public:
    StatusBar() = default;
    StatusBar(const StatusBar&) = delete;
    StatusBar& operator=(const StatusBar&) = delete;
    virtual ~StatusBar() = default;

    // Height of the bar in points.
    virtual double thickness() const = 0;
    // A new item of width `length`, placed in the bar until removed.
    virtual std::shared_ptr<StatusItem> statusItemWithLength(double length) = 0;
    // Takes `item` out of the bar; nothing for nullptr or an item not in it.
    virtual void removeStatusItem(const StatusItem* item) = 0;
};

// Something that knows where it is on screen, such as the status item's view.
class ScreenLocatable {
public:
    ScreenLocatable() = default;
    ScreenLocatable(const ScreenLocatable&) = delete;
    ScreenLocatable& operator=(const ScreenLocatable&) = delete;
    virtual ~ScreenLocatable() = default;

    // Its frame in screen coordinates; the zero rectangle when that is unknown.
    virtual Rect globalRect() const = 0;
};

}  // namespace quillory::platform
