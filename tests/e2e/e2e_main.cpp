// End to end on a real X server: Xvfb, a real XEmbed tray (trayer), a compositing manager
// (xcompmgr), then quillory, driven with xdotool and xclip. Screenshots of every state are kept.
//   e2e_driver dispatch QUILLORY                  the command line's dispatch, no display needed
//   e2e_driver desktop QUILLORY ARTIFACTS CORPUS  the desktop scenario; exit 77 (skipped) without
//                                                 Xvfb, trayer, xcompmgr, xdotool or xclip
#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <iostream>
#include <stdexcept>

#include "desktop_checks.h"
#include "process_set.h"

namespace quillory::e2e {
namespace {

constexpr int kSkipped = 77;

QProcessEnvironment withoutDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

// Help, version, wrong options and a missing display, answered without a desktop.
int dispatch(const QString& quillory) {
    ProcessSet processes;
    QByteArray err;
    auto runs = [&](QStringList args, QProcessEnvironment env = withoutDisplay()) {
        return processes.run(quillory, args, env, 10000, &err);
    };
    try {
        require(runs({QStringLiteral("--version")}) == 0, "--version ends with 0");
        require(runs({QStringLiteral("--help")}) == 0, "--help ends with 0");
        require(runs({QStringLiteral("--frobnicate")}) == 2 && err.contains("--summary FILE"),
                "an unknown option gives the usage and status 2");
        require(runs({}) == 1 && err.contains("quillory: no display"),
                "without a display: says so, status 1");
        QProcessEnvironment wayland = withoutDisplay();
        wayland.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
        require(runs({}, wayland) == 1 && err.contains("XWayland"),
                "Wayland without XWayland: says so, status 1");
        QProcessEnvironment wrong = withoutDisplay();
        wrong.insert(QStringLiteral("DISPLAY"), QStringLiteral(":987"));
        require(runs({}, wrong) == 1 && err.contains("cannot open the X display"),
                "an unreachable display: says so, status 1");
    } catch (const std::exception& failure) {
        std::cerr << "FAILED: " << failure.what() << std::endl;
        return 1;
    }
    return 0;
}

std::optional<QString> missingTool() {
    for (const char* tool : {"Xvfb", "trayer", "xcompmgr", "xdotool", "xclip"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return QString::fromLatin1(tool);
    }
    return std::nullopt;
}

int desktop(const QString& quillory, const QString& artifacts, const QString& corpus) {
    if (std::optional<QString> tool = missingTool()) {
        std::cout << "SKIPPED: " << tool->toStdString()
                  << " is not installed (scripts/install-deps.sh installs it)" << std::endl;
        return kSkipped;
    }
    QTemporaryDir scratch;
    QDir().mkpath(artifacts);
    try {
        DesktopChecks checks(quillory, artifacts, scratch.path(), corpus);
        checks.run();
    } catch (const std::exception& failure) {
        std::cerr << "FAILED: " << failure.what() << std::endl;
        return 1;
    }
    return 0;
}

}  // namespace
}  // namespace quillory::e2e

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("dispatch")) return quillory::e2e::dispatch(args[2]);
    if (args.size() == 5 && args[1] == QLatin1String("desktop")) {
        return quillory::e2e::desktop(args[2], args[3], args[4]);
    }
    std::cerr << "usage: e2e_driver dispatch QUILLORY | desktop QUILLORY ARTIFACTS CORPUS\n";
    return 2;
}
