#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include "process_set.h"
#include "x11_probe.h"
#include "x_desktop.h"

namespace quillory::e2e {

// The desktop scenario, step by step: what a user does on a private X desktop, and what must
// follow. Every state is kept as a screenshot in the artifacts folder.
class DesktopChecks {
public:
    DesktopChecks(QString quillory, QString artifacts, const QString& scratch, QString corpus);
    void run();

private:
    void lightSession();
    void darkSession();
    X11Probe::Window waitForIcon(bool lightTray, const QString& shot);
    X11Probe::Window openPanel(const X11Probe::Window& icon, bool composited, const QString& shot,
                               const QStringList& keys = {});
    void closePanel(const X11Probe::Window& panel);
    QImage waitForPicture(const QRect& panel, const QImage& previous);
    void followClipboard(Child& quillory, const QRect& panel);
    void followHandOver(Child& quillory, const QRect& panel);
    void checkDiagnosticLine(Child& quillory, const X11Probe::Window& icon);
    void quitWithControl(Child& quillory, const X11Probe::Window& panel);
    void quit(Child& quillory, int signal);
    void keepLog(const Child& quillory, const QString& name) const;
    QStringList photos() const;

    QString quillory_;
    QString artifacts_;
    QString scratch_;
    QString corpus_;
    XDesktop desktop_;
    QStringList photos_;
    QImage lastShot_;
};

}  // namespace quillory::e2e
