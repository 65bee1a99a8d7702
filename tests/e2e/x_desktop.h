#pragma once

#include <QImage>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>

#include "process_set.h"
#include "x11_probe.h"

namespace quillory::e2e {

// Prints "ok: what" when `ok`, else stops the scenario with `what`.
void require(bool ok, const std::string& what);

// A private X desktop: Xvfb on a free display, a wallpaper colour, trayer, and the programs
// started on it, all ended with it. Its environment keeps Quillory away from the caller's session:
// its own runtime folder, home and caches, and no session bus (so the XEmbed tray and no portal).
class XDesktop {
public:
    explicit XDesktop(const QString& scratch);

    void startServer();
    void setRoot(QRgb color);
    QRgb root() const { return root_; }
    // trayer at the top, right-aligned, tinted `tint` (0xRRGGBB); a running one is ended first.
    void startTray(const QString& tint);
    // `wayland`: as on a Wayland session with XWayland (WAYLAND_DISPLAY and DISPLAY both set).
    Child& startQuillory(const QString& program, const QString& appearance, bool wayland = false);
    // A viewable quillory window under a top-level of `topLevelClass` ("trayer" for the docked
    // icon, "quillory" for the panel), panel-sized if asked.
    std::optional<X11Probe::Window> find(const QString& topLevelClass, bool panelSized) const;
    // Clicks at `where` with `keys` (xdotool key names) held.
    void click(const QPoint& where, const QStringList& keys = {});
    QImage screenshot() const { return x_->screenshot(); }
    QSize screenSize() const { return x_->screenSize(); }
    bool selectionOwned(const std::string& name) const { return x_->selectionOwned(name); }

    ProcessSet& processes() { return processes_; }
    const QProcessEnvironment& env() const { return env_; }

private:
    QString scratch_;
    ProcessSet processes_;
    QProcessEnvironment env_;
    std::unique_ptr<X11Probe> x_;
    Child* tray_ = nullptr;
    QRgb root_ = 0;
};

}  // namespace quillory::e2e
