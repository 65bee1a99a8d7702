#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QIcon>
#include <QImage>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/application_delegate.h"
#include "app/cli.h"
#include "platform/imageio/image_service_factory.h"
#include "platform/qt/clipboard_watch.h"
#include "platform/qt/handover_protocol.h"
#include "platform/qt/launch_env.h"
#include "platform/qt/portal_appearance.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/recent_selection.h"
#include "platform/qt/single_instance.h"
#include "platform/qt/termination_signals.h"
#include "platform/qt/worker_read_queue.h"
#include "platform/qt/x11_desktop.h"

namespace {

using namespace quillory;

constexpr std::string_view kHelp =
    "Usage: quillory [FILE-or-URL...]\n"
    "       quillory --summary FILE [--thumbnail OUT.png]\n"
    "       quillory --help | --version\n"
    "\n"
    "Without options Quillory puts its icon into the system tray. A click on the icon drops a\n"
    "panel that follows the file manager's selection (the files last copied with Ctrl+C, handed\n"
    "over with \"Open With\" or dropped on the panel) and shows the preview and a summary of the\n"
    "selected JPEG or Canon CR2 photo. FILEs (paths or file: URLs) become the selection and open\n"
    "the panel; when Quillory already runs they are handed to it and this command ends.\n"
    "\n"
    "--summary prints the summary the panel shows for FILE; --thumbnail also writes its preview\n"
    "(upright, at most 500 px a side) as PNG. Photos are only read, never changed.\n"
    "\n"
    "Environment: QUILLORY_APPEARANCE=dark|light overrides the desktop's light or dark panel;\n"
    "QUILLORY_TRAY_WAIT=SECONDS is how long to wait for a system tray (default 30).\n";

constexpr int kHandOverTimeoutMs = 5000;
constexpr int kIconPlacementWaitMs = 1000;
constexpr int kIconPlacementPollMs = 50;

enum class Mode { tray, commandLine, help, version, badOption };

struct Invocation {
    Mode mode = Mode::tray;
    std::vector<std::string> files;
};

Invocation parse(const std::vector<std::string>& args) {
    if (args.size() == 1 && args[0] == "--help") return {Mode::help, {}};
    if (args.size() == 1 && args[0] == "--version") return {Mode::version, {}};
    Invocation invocation;
    bool options = true;
    for (const std::string& arg : args) {
        if (options && arg == "--") {
            options = false;
        } else if (options && (arg == "--summary" || arg == "--thumbnail")) {
            return {Mode::commandLine, {}};
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            return {Mode::badOption, {}};
        } else {
            invocation.files.push_back(arg);
        }
    }
    return invocation;
}

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

bool writePng(const Bitmap& picture, const std::string& path, std::string& why) {
    const QImage image(picture.rgb.data(), picture.width, picture.height, picture.width * 3,
                       QImage::Format_RGB888);
    if (image.save(QString::fromStdString(path), "PNG")) return true;
    why = "the PNG could not be written";
    return false;
}

int runCommandLine(const std::vector<std::string>& args) {
    const auto images = imageio::makeImageService();
    return runCli(args, {*images, writePng, QUILLORY_VERSION, std::cout, std::cerr});
}

// Qt aborts without a display; say why instead. On a Wayland session, run through XWayland,
// where the panel can be placed under the icon.
std::optional<int> prepareDisplay() {
    const qt::LaunchEnvironment env{environment("QT_QPA_PLATFORM"), environment("DISPLAY"),
                                    environment("WAYLAND_DISPLAY")};
    const qt::DisplayChoice choice = qt::chooseDisplay(env);
    std::string why = choice.problem.value_or("");
    if (why.empty() && choice.forcePlatform) qt::desktop::canOpenX11Display(env.display, &why);
    if (!why.empty()) {
        std::cerr << "quillory: " << why << std::endl;
        return 1;
    }
    if (choice.forcePlatform) ::setenv("QT_QPA_PLATFORM", choice.forcePlatform->c_str(), 1);
    return std::nullopt;
}

// The file: URLs the arguments name; the others are reported and left out.
std::vector<std::string> fileUrls(const std::vector<std::string>& files) {
    const std::string folder = qt::workingFolder();  // bytes: a folder name need not be UTF-8
    std::vector<std::string> urls;
    for (const std::string& file : files) {
        if (std::optional<std::string> url = qt::fileUrlForArgument(file, folder)) {
            urls.push_back(*url);
        } else {
            std::cerr << "quillory: skipping " << file << ": not a local file" << std::endl;
        }
    }
    return urls;
}

// The tray program: the Qt platform, the selection sources and the application delegate.
class TrayProgram {
public:
    explicit TrayProgram(qt::SingleInstance& instance)
        : portal_(QDBusConnection::sessionBus()),
          platform_({{&qt::desktop::compositingManagerRunning,
                      [this](std::vector<std::string> urls) { selection_.offer(std::move(urls)); }},
                     environment("QUILLORY_APPEARANCE"),
                     &portal_}),
          delegate_(platform_.services(), {selection_, *images_, reads_}),
          clipboard_(*QGuiApplication::clipboard(),
                     [this](std::vector<std::string> urls) { selection_.offer(std::move(urls)); }),
          signals_([this] { platform_.application.terminate(); }) {
        QObject::connect(&portal_, &qt::PortalAppearance::changed, &context_,
                         [this] { platform_.statusBar.redisplayAll(); });
        instance.setReceiver([this](std::vector<std::string> urls) {
            selection_.offer(std::move(urls));
            openPanelWhenPlaced();
        });
    }

    // A read stuck on a hung mount still holds the image service.
    bool readsBusy() const { return reads_.busy(); }

    void start(std::vector<std::string> urls) {
        launched_.start();
        clipboard_.readNow();
        platform_.application.launch(delegate_);
        if (selection_.offer(std::move(urls))) openPanelWhenPlaced();
    }

private:
    bool iconPlaced() const {
        const MenubarController* menubar = delegate_.menubarController();
        return menubar != nullptr && !menubar->statusItemView()->globalRect().isZero();
    }

    // Right away when the tray has placed the icon; just after start-up, once it has. A tray that
    // never says where the icon is (StatusNotifierItem) is waited for only then.
    void openPanelWhenPlaced() {
        if (iconPlaced() || launched_.elapsed() >= kIconPlacementWaitMs) return openPanelIfClosed();
        auto* poll = new QTimer(&context_);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll] {
            if (!iconPlaced() && launched_.elapsed() < kIconPlacementWaitMs) return;
            poll->stop();
            poll->deleteLater();
            openPanelIfClosed();
        });
        poll->start(kIconPlacementPollMs);
    }

    // Opens the panel like a click unless it is on screen and polling already.
    void openPanelIfClosed() {
        PanelController* panel = delegate_.existingPanelController();
        const bool open = panel != nullptr && panel->isWindowLoaded() && panel->window()->isVisible() &&
                          panel->timer() != nullptr && panel->timer()->isValid();
        if (open) return;
        if (panel != nullptr && panel->hasActivePanel()) panel->setHasActivePanel(false);
        delegate_.togglePanel(nullptr);
    }

    QObject context_;
    QElapsedTimer launched_;
    std::unique_ptr<ImageService> images_ = imageio::makeImageService();
    qt::WorkerReadQueue reads_;
    qt::RecentSelection selection_;
    qt::PortalAppearance portal_;
    qt::QtPlatform platform_;
    ApplicationDelegate delegate_;
    qt::ClipboardWatch clipboard_;
    qt::TerminationSignals signals_;
};

void describeApplication(QApplication& app) {
    QApplication::setApplicationDisplayName(QStringLiteral("Quillory"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLORY_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quillory.Quillory"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quillory/icons/quillory.svg")));
    // The panel may be closed while the icon stays: closing a window never ends the program.
    app.setQuitOnLastWindowClosed(false);
}

int handOver(qt::SingleInstance& instance, const std::vector<std::string>& urls) {
    QString why;
    if (instance.handOver(urls, kHandOverTimeoutMs, &why)) return 0;
    std::cerr << "quillory: " << why.toStdString() << std::endl;
    return 1;
}

int runTray(int& argc, char** argv, const std::vector<std::string>& files) {
    if (std::optional<int> failed = prepareDisplay()) return *failed;
    QApplication::setApplicationName(QStringLiteral("quillory"));
    QApplication app(argc, argv);
    describeApplication(app);
    const std::vector<std::string> urls = fileUrls(files);
    qt::SingleInstance instance(qt::SingleInstance::defaultFolder());
    QString why;
    const qt::SingleInstance::Role role = instance.claim(&why);
    if (role == qt::SingleInstance::Role::secondary) return handOver(instance, urls);
    if (role == qt::SingleInstance::Role::unavailable) {
        std::cerr << "quillory: running without single-instance hand-over: " << why.toStdString()
                  << std::endl;
    }
    // Files handed over while waiting for the tray are not lost: the latest list opens the panel.
    std::vector<std::string> selection = urls;
    instance.setReceiver([&selection](std::vector<std::string> handed) {
        if (!handed.empty()) selection = std::move(handed);
    });
    if (!qt::waitForSystemTray(qt::trayWaitSeconds(environment("QUILLORY_TRAY_WAIT")))) {
        std::cerr << "quillory: no system tray is available; start a desktop panel with a tray (on GNOME, "
                     "the AppIndicator extension), then start Quillory again"
                  << std::endl;
        return 1;
    }
    TrayProgram program(instance);
    program.start(selection);
    const int status = QApplication::exec();
    if (program.readsBusy()) {
        // Quitting never waits for a read: end without tearing down what it still uses.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const Invocation invocation = parse(args);
    switch (invocation.mode) {
        case Mode::help:
            std::cout << kHelp;
            return kExitOk;
        case Mode::version:
            std::cout << "quillory " << QUILLORY_VERSION << '\n';
            return kExitOk;
        case Mode::commandLine:
            return runCommandLine(args);
        case Mode::badOption:
            std::cerr << kHelp;
            return kExitUsage;
        case Mode::tray:
            break;
    }
    return runTray(argc, argv, invocation.files);
}
