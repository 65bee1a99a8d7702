// The steps of the desktop scenario: what a user does, and what must follow.
#include "desktop_checks.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QUrl>

#include <csignal>
#include <iostream>

#include "screen_pixels.h"

namespace quillory::e2e {

namespace {

constexpr QRgb kLightRoot = 0x7f93a8;  // a slate desktop: black corners or a grey body would show on it
constexpr QRgb kDarkRoot = 0x1f2329;

std::string text(const QString& s) {
    return s.toStdString();
}

}  // namespace

DesktopChecks::DesktopChecks(QString quillory, QString artifacts, const QString& scratch, QString corpus)
    : quillory_(std::move(quillory)),
      artifacts_(std::move(artifacts)),
      scratch_(scratch),
      corpus_(std::move(corpus)),
      desktop_(scratch) {}

void DesktopChecks::keepLog(const Child& quillory, const QString& name) const {
    QFile log(artifacts_ + QLatin1Char('/') + name);
    if (log.open(QIODevice::WriteOnly)) log.write(quillory.err);
}

X11Probe::Window DesktopChecks::waitForIcon(bool light, const QString& name) {
    std::optional<X11Probe::Window> icon;
    require(
        waitUntil([&] { return (icon = desktop_.find(QStringLiteral("trayer"), false)).has_value(); }, 15000),
        "the icon docks in the tray");
    QImage shot;
    const bool drawn = waitUntil(
        [&] {
            shot = desktop_.screenshot();
            return glyphPixels(shot, icon->geometry, light) > 10;
        },
        5000);
    shot.save(artifacts_ + QLatin1Char('/') + name + QStringLiteral(".png"));
    require(drawn, light ? "the icon shows a dark glyph on the light tray"
                         : "the icon shows a light glyph on the dark tray");
    return *icon;
}

X11Probe::Window DesktopChecks::openPanel(const X11Probe::Window& icon, bool composited, const QString& name,
                                          const QStringList& keys) {
    desktop_.click(icon.geometry.center(), keys);
    const Placement placement = expectedPlacement(icon.geometry, desktop_.screenSize().width());
    std::optional<X11Probe::Window> panel;
    require(waitUntil(
                [&] {
                    panel = desktop_.find(QStringLiteral("quillory"), true);
                    return panel && panel->geometry == placement.frame;
                },
                5000),
            "the panel appears 280 x 400 directly under the icon");
    QImage shot;
    std::string problems;
    waitUntil(
        [&] {  // the fade-in ends
            shot = desktop_.screenshot();
            return (problems =
                        lookProblems(shot, placement.frame, placement.arrowX, composited, desktop_.root()))
                .empty();
        },
        3000);
    shot.save(artifacts_ + QLatin1Char('/') + name + QStringLiteral(".png"));
    require(problems.empty(), (composited ? "translucent" : "cut to its outline") +
                                  std::string(", white border, arrow on the icon's centre (x ") +
                                  std::to_string(placement.arrowX) + ")" + problems);
    return *panel;
}

void DesktopChecks::closePanel(const X11Probe::Window& panel) {
    desktop_.click(panel.geometry.topLeft() + kCloseControl);
    require(waitUntil([&] { return !desktop_.find(QStringLiteral("quillory"), true); }, 3000),
            "the close control hides the panel");
}

QImage DesktopChecks::waitForPicture(const QRect& panel, const QImage& previous) {
    const QRect preview = kPreviewArea.translated(panel.topLeft());
    QImage shot;
    const bool shown = waitUntil(
        [&] {
            shot = desktop_.screenshot();
            return spread(shot, preview) > 12 &&
                   (previous.isNull() || difference(shot, previous, preview) > 10);
        },
        3000, 10);
    require(shown, "the panel shows the photo's preview");
    return shot;
}

void DesktopChecks::followClipboard(Child& quillory, const QRect& panel) {
    QFile uri(scratch_ + QStringLiteral("/uri-list"));
    uri.open(QIODevice::WriteOnly);
    uri.write(QUrl::fromLocalFile(photos_[0]).toEncoded() + "\r\n");
    uri.close();
    QElapsedTimer clock;
    clock.start();
    desktop_.processes().start(
        QStringLiteral("xclip"), QStringLiteral("xclip"),
        {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
         QStringLiteral("-t"), QStringLiteral("text/uri-list"), uri.fileName()},
        desktop_.env());
    require(waitUntil([&] { return quillory.errLines("file change") >= 1; }, 3000, 5),
            "copying a photo's URI logs \"file change\"");
    const qint64 logged = clock.elapsed();
    lastShot_ = waitForPicture(panel, QImage());
    const qint64 shown = clock.elapsed();
    lastShot_.save(artifacts_ + QStringLiteral("/04-photo-from-clipboard.png"));
    std::cout << "measured: clipboard copy to \"file change\" " << logged << " ms, to the preview on screen "
              << shown << " ms" << std::endl;
    require(logged < 1000 && quillory.errLines("file change") == 1,
            "exactly one \"file change\" within a second");
}

void DesktopChecks::followHandOver(Child& quillory, const QRect& panel) {
    QElapsedTimer clock;
    clock.start();
    QByteArray err;
    const int status = desktop_.processes().run(quillory_, {photos_[1]}, desktop_.env(), 10000, &err);
    std::cout << "measured: second quillory handed over and ended in " << clock.elapsed() << " ms"
              << std::endl;
    require(status == 0, "`quillory OTHER.jpg` hands the photo to the running instance and ends with 0");
    require(waitUntil([&] { return quillory.errLines("file change") == 2; }, 3000, 5),
            "the running instance logs exactly one more \"file change\"");
    lastShot_ = waitForPicture(panel, lastShot_);
    lastShot_.save(artifacts_ + QStringLiteral("/05-photo-handed-over.png"));
}

void DesktopChecks::quit(Child& quillory, int signal) {
    const bool ended = ProcessSet::signalAndWait(quillory, signal, 5000);
    keepLog(quillory, QStringLiteral("quillory-signal-%1-stderr.log").arg(signal));
    require(
        ended && quillory.process.exitStatus() == QProcess::NormalExit && quillory.process.exitCode() == 0,
        std::string(signal == SIGTERM ? "SIGTERM" : "SIGINT") + " ends quillory with status 0");
    require(waitUntil([&] { return !desktop_.find(QStringLiteral("trayer"), false); }, 3000),
            "the icon left the tray");
}

void DesktopChecks::quitWithControl(Child& quillory, const X11Probe::Window& panel) {
    desktop_.click(panel.geometry.topLeft() + kQuitControl);
    const bool ended = waitUntil([&] { return !quillory.running(); }, 5000);
    quillory.pump();
    keepLog(quillory, QStringLiteral("quillory-exit-control-stderr.log"));
    require(
        ended && quillory.process.exitStatus() == QProcess::NormalExit && quillory.process.exitCode() == 0,
        "the exit control ends quillory at once with status 0");
}

// Shift and Alt at the click: the slow opening and the one diagnostic line, in the program's
// y-up coordinates.
void DesktopChecks::checkDiagnosticLine(Child& quillory, const X11Probe::Window& icon) {
    const QSize screen = desktop_.screenSize();
    const Placement placement = expectedPlacement(icon.geometry, screen.width());
    const QString panel = QStringLiteral("Will be animated to {{%1, %2}, {280, 400}}")
                              .arg(placement.frame.x())
                              .arg(screen.height() - placement.frame.y() - placement.frame.height());
    const QString onScreen =
        QStringLiteral("Menu is on screen {{0, 0}, {%1, %2}}").arg(screen.width()).arg(screen.height());
    quillory.pump();
    const QByteArray err = quillory.err;
    require(err.count("Icon is at ") == 1 && err.contains(onScreen.toUtf8()) && err.contains(panel.toUtf8()),
            "a Shift+Alt click logs where the icon, the screen and the panel are: " + text(panel));
}

QStringList DesktopChecks::photos() const {
    const QDir corpus(corpus_ + QStringLiteral("/jpg"));
    QStringList named;
    for (const char* name : {"Canon EOS 5D.jpg", "Apple iPhone 6.jpg"}) {
        if (corpus.exists(QString::fromLatin1(name)))
            named << corpus.absoluteFilePath(QString::fromLatin1(name));
    }
    if (named.size() == 2) return named;
    // No corpus: two photos of our own, different enough to tell apart on screen.
    QStringList made;
    for (int i = 0; i < 2; ++i) {
        QImage image(640, 480, QImage::Format_RGB32);
        QPainter painter(&image);
        painter.fillRect(image.rect(), i == 0 ? QColor(200, 60, 40) : QColor(30, 90, 200));
        for (int stripe = 0; stripe < 640; stripe += 80) painter.fillRect(stripe, 0, 40, 480, Qt::white);
        painter.end();
        made << scratch_ + QStringLiteral("/photo-%1.jpg").arg(i);
        image.save(made.back(), "JPG");
    }
    return made;
}

void DesktopChecks::run() {
    photos_ = photos();
    desktop_.startServer();
    desktop_.setRoot(kLightRoot);
    QProcessEnvironment noTray = desktop_.env();
    noTray.insert(QStringLiteral("QUILLORY_TRAY_WAIT"), QStringLiteral("1"));
    QByteArray err;
    require(desktop_.processes().run(quillory_, {}, noTray, 20000, &err) == 1 &&
                err.contains("no system tray is available"),
            "without a tray: waits, says that no system tray is available, status 1");
    lightSession();
    darkSession();
}

// A light tray, first without a compositing manager, then with one: the icon, the panel, the
// clipboard, hand-overs, the close control, SIGTERM.
void DesktopChecks::lightSession() {
    desktop_.startTray(QStringLiteral("0xdedede"));
    Child& quillory = desktop_.startQuillory(quillory_, QString());
    const X11Probe::Window icon = waitForIcon(true, QStringLiteral("01-icon-docked"));
    X11Probe::Window panel = openPanel(icon, false, QStringLiteral("02-panel-without-compositor"));
    closePanel(panel);
    desktop_.processes().start(QStringLiteral("xcompmgr"), QStringLiteral("xcompmgr"), {}, desktop_.env());
    require(waitUntil([&] { return desktop_.selectionOwned("_NET_WM_CM_S0"); }, 10000),
            "xcompmgr composites the screen");
    panel = openPanel(icon, true, QStringLiteral("03-panel-open"));
    followClipboard(quillory, panel.geometry);
    followHandOver(quillory, panel.geometry);
    closePanel(panel);
    desktop_.screenshot().save(artifacts_ + QStringLiteral("/06-panel-closed.png"));
    require(desktop_.processes().run(quillory_, {photos_[0]}, desktop_.env(), 10000) == 0 &&
                waitUntil([&] { return desktop_.find(QStringLiteral("quillory"), true).has_value(); }, 5000),
            "a hand-over opens the closed panel");
    waitForPicture(panel.geometry, lastShot_);
    quit(quillory, SIGTERM);
}

// A dark tray: the light icon, a Shift+Alt click, the exit control; then, as on a Wayland session
// with XWayland, SIGINT.
void DesktopChecks::darkSession() {
    desktop_.setRoot(kDarkRoot);
    desktop_.startTray(QStringLiteral("0x26292e"));
    Child& dark = desktop_.startQuillory(quillory_, QStringLiteral("dark"));
    const X11Probe::Window icon = waitForIcon(false, QStringLiteral("07-dark-icon"));
    const QStringList shiftAlt{QStringLiteral("shift"), QStringLiteral("alt")};
    const X11Probe::Window panel = openPanel(icon, true, QStringLiteral("08-dark-panel"), shiftAlt);
    checkDiagnosticLine(dark, icon);
    quitWithControl(dark, panel);

    Child& last = desktop_.startQuillory(quillory_, QStringLiteral("dark"), true);
    waitForIcon(false, QStringLiteral("09-icon-on-wayland-through-xwayland"));
    quit(last, SIGINT);
}

}  // namespace quillory::e2e
