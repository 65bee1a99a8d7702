#pragma once

#include <QImage>
#include <QMenu>
#include <QPoint>
#include <QSystemTrayIcon>

#include <optional>
#include <string>

#include <memory>
#include <vector>

#include "platform/qt/status_notifier.h"
#include "platform/status_bar.h"

namespace quillory::qt {

class QtApplication;

// How the icon reaches the tray: as a StatusNotifierItem of our own where a watcher with a host
// runs (GNOME's AppIndicator, Plasma, Xfce), through Qt's tray icon for XEmbed trays elsewhere.
enum class TrayKind { xembed, statusNotifier };

// The drawing of `view` at `scale` pixels a point, centred on a square canvas so that a tray
// scaling it into its square slot never distorts it.
QImage renderStatusView(platform::View& view, double scale);

// The glyph of the view's drawing without its empty margin, square, at each of `sides`: hosts
// fit whatever they get into a square of their own, where a margin would only shrink the glyph.
QList<QImage> glyphPictures(platform::View& view, const QList<int>& sides);

// A tray icon whose picture is the drawing of the view shown in it. On a Wayland session the
// pointer that XWayland reports is stale, so a click or a menu there carries only the position
// the host gave.
class QtStatusItem final : public platform::StatusItem, public platform::ViewHost {
public:
    QtStatusItem(double length, QtApplication& application, TrayKind kind);
    ~QtStatusItem() override;

    double length() const override { return length_; }
    void setView(platform::View* view) override;
    // Draws the view in a display pass after the current event.
    void viewNeedsDisplay(platform::View& view) override;
    // The tray's slot in screen coordinates when the tray reports it (XEmbed trays do, with the
    // view filling the slot); the zero rectangle otherwise (StatusNotifierItem hosts).
    platform::Rect convertRectToScreen(const platform::Rect& rect) const override;
    // A QMenu for XEmbed trays (on the right button) and for hosts that ask us to show it;
    // StatusNotifierItem hosts show the same entries as their own menu.
    void setMenu(const std::vector<platform::MenuItem>& items) override;
    void setToolTip(const std::string& text) override;

    // Takes the icon out of the tray for good.
    void remove();
    // Draws the view although it did not ask: the desktop's appearance changed.
    void redisplay() { displayPass(); }

    QSystemTrayIcon* trayIcon() const { return tray_.get(); }
    StatusNotifier* statusNotifier() const { return notifier_.get(); }
    QMenu* menu() const { return menu_.get(); }
    // The largest picture of the last display pass; null before the first.
    const QImage& drawing() const { return drawing_; }
    int displayPasses() const { return displayPasses_; }

private:
    void displayPass();
    void activated(QSystemTrayIcon::ActivationReason reason);
    void chosen(const std::string& action);
    void clicked(std::optional<QPoint> where);
    // The pointer, where it can be trusted.
    std::optional<QPoint> pointer() const;
    // A left mouse-down at `where` (in Qt's coordinates; unknown: none), with the modifier keys
    // held now.
    platform::Event clickEvent(std::optional<QPoint> where) const;

    QObject context_;  // for the display passes still to come
    double length_;
    QtApplication& application_;
    std::unique_ptr<QMenu> menu_;
    std::vector<std::string> menuActions_;
    std::optional<QPoint> menuOpenedAt_;
    bool pointerIsCurrent_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<StatusNotifier> notifier_;
    platform::View* view_ = nullptr;
    bool displayScheduled_ = false;
    QImage drawing_;
    int displayPasses_ = 0;
};

// The system tray.
class QtStatusBar final : public platform::StatusBar {
public:
    QtStatusBar(QtApplication& application, TrayKind kind);

    double thickness() const override { return thickness_; }
    std::shared_ptr<platform::StatusItem> statusItemWithLength(double length) override;
    void removeStatusItem(const platform::StatusItem* item) override;

    // Redraws every icon (the appearance changed).
    void redisplayAll();
    const std::vector<std::shared_ptr<QtStatusItem>>& items() const { return items_; }

private:
    QtApplication& application_;
    TrayKind kind_;
    double thickness_;
    std::vector<std::shared_ptr<QtStatusItem>> items_;
};

}  // namespace quillory::qt
