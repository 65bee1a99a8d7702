#include "app/tray_program.h"

#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/application_delegate.h"
#include "app/cli.h"
#include "inspection/summary.h"
#include "platform/imageio/image_service_factory.h"
#include "platform/instance/handover_protocol.h"
#include "platform/instance/single_instance.h"
#include "platform/qt/launch_env.h"
#include "platform/qt/portal_appearance.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/termination_signals.h"
#include "platform/qt/worker_read_queue.h"
#include "platform/qt/x11_desktop.h"
#include "platform/selection/clipboard_watch.h"
#include "platform/selection/file_manager_selection.h"
#include "platform/selection/recent_selection.h"

namespace quillory {
namespace {

constexpr int kHandOverTimeoutMs = 5000;
constexpr int kIconPlacementWaitMs = 1000;
constexpr int kIconPlacementPollMs = 50;
constexpr int kNotificationTimeoutMs = 3000;

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

// Qt aborts without a display; say why instead. On a Wayland session, run through XWayland,
// where the panel can be placed under the icon.
std::optional<int> prepareDisplay() {
    const qt::LaunchEnvironment env{environment("QT_QPA_PLATFORM"), environment("DISPLAY"),
                                    environment("WAYLAND_DISPLAY"), environment("XDG_SESSION_TYPE")};
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
    // Bytes as the file system has them: a folder name need not be UTF-8.
    const std::string folder = workingFolder();
    std::vector<std::string> urls;
    for (const std::string& file : files) {
        if (std::optional<std::string> url = instance::fileUrlForArgument(file, folder)) {
            urls.push_back(*url);
        } else {
            std::cerr << "quillory: skipping " << cleanText(file) << ": not a local file" << std::endl;
        }
    }
    return urls;
}

// The tray program: the Qt platform, the selection sources and the application delegate.
class TrayProgram {
public:
    TrayProgram(instance::SingleInstance& instance, qt::TrayKind tray)
        : portal_(QDBusConnection::sessionBus()),
          platform_({{&qt::desktop::compositingManagerRunning,
                      [this](std::vector<std::string> urls) { selection_.offer(std::move(urls)); }},
                     environment("QUILLORY_APPEARANCE"),
                     &portal_,
                     tray}),
          delegate_(platform_.services(), {selection_, *images_, reads_}),
          clipboard_(*QGuiApplication::clipboard(),
                     [this](std::vector<std::string> urls) { selection_.offer(std::move(urls)); }),
          fileManager_([this](std::vector<std::string> urls) { selection_.offer(std::move(urls)); }),
          signals_([this] { platform_.application.terminate(); }) {
        QObject::connect(&portal_, &qt::PortalAppearance::changed, &context_,
                         [this] { platform_.statusBar.redisplayAll(); });
        instance.setReceiver([this](std::vector<std::string> urls) {
            selection_.offer(std::move(urls));
            openPanelWhenPlaced();
        });
    }

    // A read stuck on a hung mount still holds the image service; a file manager that stopped
    // answering still holds its reader's thread.
    bool busy() const { return reads_.busy() || fileManager_.busy(); }

    void start(std::vector<std::string> urls) {
        launched_.start();
        clipboard_.readNow();
        fileManager_.start();
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
    selection::RecentSelection selection_;
    qt::PortalAppearance portal_;
    qt::QtPlatform platform_;
    ApplicationDelegate delegate_;
    selection::ClipboardWatch clipboard_;
    selection::FileManagerSelection fileManager_;
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

int handOver(instance::SingleInstance& instance, const std::vector<std::string>& urls) {
    QString why;
    if (instance.handOver(urls, kHandOverTimeoutMs, &why)) return 0;
    std::cerr << "quillory: " << why.toStdString() << std::endl;
    return 1;
}

}  // namespace

int runTray(char* programName, const std::vector<std::string>& files) {
    if (std::optional<int> failed = prepareDisplay()) return *failed;
    QApplication::setApplicationName(QStringLiteral("quillory"));
    // Qt sees no argument: the files were sorted out already, and one named like a Qt option
    // ("-style", after "--") must not change the program.
    static int argc = 1;
    static char* argv[] = {programName, nullptr};
    QApplication app(argc, argv);
    describeApplication(app);
    const std::vector<std::string> urls = fileUrls(files);
    instance::SingleInstance instance(instance::SingleInstance::defaultFolder());
    QString why;
    const instance::SingleInstance::Role role = instance.claim(&why);
    if (role == instance::SingleInstance::Role::secondary) return handOver(instance, urls);
    if (role == instance::SingleInstance::Role::unavailable) {
        std::cerr << "quillory: running without single-instance hand-over: " << why.toStdString()
                  << std::endl;
    }
    // Files handed over while waiting for the tray are not lost: the latest list opens the panel.
    std::vector<std::string> selection = urls;
    instance.setReceiver([&selection](std::vector<std::string> handed) {
        if (!handed.empty()) selection = std::move(handed);
    });
    const std::optional<qt::TrayKind> tray =
        qt::waitForSystemTray(qt::trayWaitSeconds(environment("QUILLORY_TRAY_WAIT")));
    if (!tray) {
        // Started from a menu, nobody reads stderr: the desktop's notifications say it too.
        const std::string advice = qt::noTrayAdvice(environment("XDG_CURRENT_DESKTOP"));
        std::cerr << "quillory: no system tray is available; " << advice << std::endl;
        qt::notifyNoTray(QDBusConnection::sessionBus(), QString::fromStdString(advice),
                         kNotificationTimeoutMs);
        return 1;
    }
    TrayProgram program(instance, *tray);
    program.start(selection);
    const int status = QApplication::exec();
    if (program.busy()) {
        // Quitting never waits for a read or a program: end without tearing down what they use.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

}  // namespace quillory
