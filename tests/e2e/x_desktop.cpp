#include "x_desktop.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <iostream>
#include <stdexcept>

#include "screen_pixels.h"

namespace quillory::e2e {

namespace {

std::string text(const QString& s) {
    return s.toStdString();
}

}  // namespace

void require(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error(what);
    std::cout << "ok: " << what << std::endl;
}

XDesktop::XDesktop(const QString& scratch)
    : scratch_(scratch), env_(QProcessEnvironment::systemEnvironment()) {
    for (const char* name : {"WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QUILLORY_APPEARANCE",
                             "QUILLORY_TRAY_WAIT", "SESSION_MANAGER"}) {
        env_.remove(QString::fromLatin1(name));
    }
    for (const char* folder : {"run", "home", "cache", "config"})
        QDir(scratch_).mkpath(QString::fromLatin1(folder));
    QFile::setPermissions(scratch_ + QStringLiteral("/run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), scratch_ + QStringLiteral("/run"));
    env_.insert(QStringLiteral("HOME"), scratch_ + QStringLiteral("/home"));
    env_.insert(QStringLiteral("XDG_CACHE_HOME"), scratch_ + QStringLiteral("/cache"));
    env_.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch_ + QStringLiteral("/config"));
    // No session bus: Qt uses the XEmbed tray, and there is no desktop portal (light).
    env_.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                QStringLiteral("unix:path=") + scratch_ + QStringLiteral("/no-bus"));
}

void XDesktop::startServer() {
    Child& server = processes_.start(
        QStringLiteral("Xvfb"), QStringLiteral("Xvfb"),
        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
         QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")},
        env_);
    // -displayfd picks a free display number and writes it once the server accepts clients.
    require(waitUntil(
                [&] {
                    server.pump();
                    return server.out.endsWith('\n') || !server.running();
                },
                15000) &&
                server.running(),
            "Xvfb runs");
    const QString display = QStringLiteral(":") + QString::fromLatin1(server.out.trimmed());
    env_.insert(QStringLiteral("DISPLAY"), display);
    x_ = std::make_unique<X11Probe>(text(display));
    require(x_->connected(), "connected to Xvfb on " + text(display));
}

void XDesktop::setRoot(QRgb color) {
    root_ = color;
    x_->setRootBackground(color);
}

void XDesktop::startTray(const QString& tint) {
    const QStringList args{QStringLiteral("--edge"),        QStringLiteral("top"),
                           QStringLiteral("--align"),       QStringLiteral("right"),
                           QStringLiteral("--margin"),      QStringLiteral("48"),
                           QStringLiteral("--widthtype"),   QStringLiteral("pixel"),
                           QStringLiteral("--width"),       QStringLiteral("120"),
                           QStringLiteral("--height"),      QStringLiteral("24"),
                           QStringLiteral("--transparent"), QStringLiteral("true"),
                           QStringLiteral("--alpha"),       QStringLiteral("0"),
                           QStringLiteral("--tint"),        tint};
    if (tray_ != nullptr) ProcessSet::signalAndWait(*tray_, SIGTERM, 3000);
    tray_ = &processes_.start(QStringLiteral("trayer"), QStringLiteral("trayer"), args, env_);
    require(waitUntil([&] { return x_->selectionOwned("_NET_SYSTEM_TRAY_S0"); }, 10000),
            "trayer owns the system tray");
}

Child& XDesktop::startQuillory(const QString& program, const QString& appearance, bool wayland) {
    QProcessEnvironment env = env_;
    if (!appearance.isEmpty()) env.insert(QStringLiteral("QUILLORY_APPEARANCE"), appearance);
    if (wayland) env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-quillory-test"));
    return processes_.start(QStringLiteral("quillory"), program, {}, env);
}

std::optional<X11Probe::Window> XDesktop::find(const QString& topLevelClass, bool panelSized) const {
    for (const X11Probe::Window& w : x_->windows()) {
        if (w.windowClass != QLatin1String("quillory") || !w.viewable || w.topLevelClass != topLevelClass)
            continue;
        if (panelSized && w.geometry.size() != QSize(kPanelWidth, kPanelHeight)) continue;
        if (!w.geometry.isEmpty()) return w;
    }
    return std::nullopt;
}

void XDesktop::click(const QPoint& where, const QStringList& keys) {
    QStringList args;
    for (const QString& key : keys) args << QStringLiteral("keydown") << key;
    args << QStringLiteral("mousemove") << QStringLiteral("--sync") << QString::number(where.x())
         << QString::number(where.y()) << QStringLiteral("click") << QStringLiteral("1");
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) args << QStringLiteral("keyup") << *key;
    const int status = processes_.run(QStringLiteral("xdotool"), args, env_, 10000);
    require(status == 0, "xdotool clicks at " + std::to_string(where.x()) + "," + std::to_string(where.y()) +
                             (keys.isEmpty() ? "" : " holding " + text(keys.join(QLatin1Char('+')))));
}

}  // namespace quillory::e2e
