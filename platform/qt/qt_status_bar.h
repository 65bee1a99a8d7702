#pragma once

#include <QImage>
#include <QMenu>
#include <QPoint>
#include <QSystemTrayIcon>

#include <optional>
#include <string>

#include <memory>
#include <vector>

#include "platform/status_bar.h"

namespace quillory::qt {

class QtApplication;

// The drawing of `view` at `scale` pixels a point, centred on a square canvas so that a tray
// scaling it into its square slot never distorts it.
QImage renderStatusView(platform::View& view, double scale);

// A tray icon (QSystemTrayIcon: XEmbed or StatusNotifierItem, as the desktop offers) whose
// picture is the drawing of the view shown in it.
class QtStatusItem final : public platform::StatusItem, public platform::ViewHost {
public:
    QtStatusItem(double length, QtApplication& application);
    ~QtStatusItem() override;

    double length() const override { return length_; }
    void setView(platform::View* view) override;
    // Draws the view in a display pass after the current event.
    void viewNeedsDisplay(platform::View& view) override;
    // The tray's slot in screen coordinates when the tray reports it (XEmbed trays do, with the
    // view filling the slot); the zero rectangle otherwise.
    platform::Rect convertRectToScreen(const platform::Rect& rect) const override;
    // A QMenu for the tray: XEmbed trays open it on the right button, StatusNotifierItem hosts
    // show it as their own menu.
    void setMenu(const std::vector<platform::MenuItem>& items) override;
    void setToolTip(const std::string& text) override;

    // Takes the icon out of the tray for good.
    void remove();
    // Draws the view although it did not ask: the desktop's appearance changed.
    void redisplay() { displayPass(); }

    QSystemTrayIcon* trayIcon() const { return tray_.get(); }
    QMenu* menu() const { return menu_.get(); }
    // The largest picture of the last display pass; null before the first.
    const QImage& drawing() const { return drawing_; }
    int displayPasses() const { return displayPasses_; }

private:
    void displayPass();
    void activated(QSystemTrayIcon::ActivationReason reason);
    void chosen(const std::string& action);
    // A left mouse-down at `where` (the pointer when none), with the modifier keys held now.
    platform::Event clickEvent(std::optional<QPoint> where) const;

    double length_;
    QtApplication& application_;
    std::unique_ptr<QMenu> menu_;
    std::vector<std::string> menuActions_;
    std::optional<QPoint> menuOpenedAt_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    bool themedByName_;
    platform::View* view_ = nullptr;
    bool displayScheduled_ = false;
    QImage drawing_;
    int displayPasses_ = 0;
};

// The system tray.
class QtStatusBar final : public platform::StatusBar {
public:
    explicit QtStatusBar(QtApplication& application);

    double thickness() const override { return thickness_; }
    std::shared_ptr<platform::StatusItem> statusItemWithLength(double length) override;
    void removeStatusItem(const platform::StatusItem* item) override;

    // Redraws every icon (the appearance changed).
    void redisplayAll();
    const std::vector<std::shared_ptr<QtStatusItem>>& items() const { return items_; }

private:
    QtApplication& application_;
    double thickness_;
    std::vector<std::shared_ptr<QtStatusItem>> items_;
};

}  // namespace quillory::qt
