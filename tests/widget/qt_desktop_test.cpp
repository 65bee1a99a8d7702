// The Qt side of the desktop, offscreen in one QApplication: the panel window's painting and
// mask, the tray icon with the desktop portal's colour scheme, and the worker read queue. Which
// glyph the tray's own colour hint or QUILLORY_APPEARANCE choose, the end-to-end scripts check
// on real trays.
#include <QApplication>
#include <QDBusVariant>
#include <QProcess>
#include <QTest>

#include <future>

#include <gtest/gtest.h>

#include "menubar/menubar_controller.h"
#include "panel/background_view.h"
#include "platform/qt/portal_appearance.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/worker_read_queue.h"

// A stand-in for the desktop portal's Settings interface, which prefers no scheme at first.
class FakePortalSettings final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public Q_SLOTS:
    // The first version's answer: a variant holding a variant.
    QDBusVariant Read(const QString&, const QString&) {
        return QDBusVariant(QVariant::fromValue(QDBusVariant(0u)));
    }
Q_SIGNALS:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);
};

// A stand-in for the desktop's notification service.
class FakeNotifications final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public Q_SLOTS:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        shown.append(summary + " / " + body);
        return 1;
    }

public:
    QStringList shown;
};

namespace quillory::qt {
namespace {

struct Tray final : platform::AppDelegate {
    explicit Tray(PortalAppearance* portal = nullptr)
        : qt({{[] { return true; }, {}}, std::nullopt, portal}) {
        qt.application.launch(*this);
    }
    void applicationDidFinishLaunching() override {
        menubar = std::make_unique<MenubarController>(qt.services());
    }
    // Never asked: these tests do not quit.
    platform::TerminateReply applicationShouldTerminate() override { return {}; }
    bool tryToPerform(std::string_view action, const void*) override {
        actions.emplace_back(action);
        events.push_back(qt.application.currentEvent().value_or(platform::Event{}));
        return true;
    }
    QtStatusItem& item() const { return *qt.statusBar.items().front(); }

    QtPlatform qt;
    std::unique_ptr<MenubarController> menubar;
    std::vector<std::string> actions;
    std::vector<platform::Event> events;
};

TEST(TrayIcon, aClickOrAMenuEntryIsAnActionWithTheEventCurrent) {
    Tray tray;
    // The first pass replaces "Status" by the icon and asks for one more; then all is quiet.
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray.item().displayPasses() == 2; }));
    QSystemTrayIcon& icon = *tray.item().trayIcon();
    for (const auto reason :
         {QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Trigger,
          QSystemTrayIcon::DoubleClick})  // a double click's second press
        Q_EMIT icon.activated(reason);
    EXPECT_EQ(tray.actions, std::vector<std::string>(2, "togglePanel:"));
    ASSERT_EQ(tray.events.size(), 2u);
    EXPECT_TRUE(tray.events[0].type == platform::kLeftMouseDown && tray.events[0].locationInScreen);
    EXPECT_FALSE(tray.qt.application.currentEvent().has_value());

    // The menu: its entries act as a click would; the tooltip names the program.
    EXPECT_EQ(icon.toolTip(), "Quillory");
    ASSERT_EQ(icon.contextMenu(), tray.item().menu());
    const QList<QAction*> entries = icon.contextMenu()->actions();
    ASSERT_TRUE(entries.size() == 2 && entries[0]->text() + " " + entries[1]->text() == "Show Panel Quit");
    tray.menubar->setHasActiveIcon(true);
    EXPECT_EQ(icon.contextMenu()->actions(), entries);  // retitled in place
    EXPECT_EQ(entries[0]->text(), "Hide Panel");
    entries[0]->trigger();
    entries[1]->trigger();
    EXPECT_EQ(tray.actions,
              (std::vector<std::string>{"togglePanel:", "togglePanel:", "togglePanel:", "doExit:"}));
    EXPECT_EQ(tray.events.back().type, platform::kLeftMouseDown);
}

// A real dbus-daemon with the portal stand-in and the client on connections of their own: a
// change reaches the client only through the match rule it asked the daemon for.
TEST(TrayIcon, followsThePortalsColourScheme) {
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--print-address", "--nofork"});
    if (!daemon.waitForReadyRead(10000)) GTEST_SKIP() << "dbus-daemon (package dbus-daemon) did not start";
    const QString address = QString::fromUtf8(daemon.readLine().trimmed());
    FakePortalSettings settings;
    QDBusConnection portalSide = QDBusConnection::connectToBus(address, "portal");
    portalSide.registerObject(kPortalPath, &settings,
                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
    ASSERT_TRUE(portalSide.registerService(kPortalService));
    PortalAppearance portal(QDBusConnection::connectToBus(address, "client"));
    Tray tray(&portal);
    QObject::connect(&portal, &PortalAppearance::changed, [&] { tray.qt.statusBar.redisplayAll(); });
    const auto lightGlyph = [&] {  // on a dark panel: a light glyph with a dark halo
        const QImage& drawing = tray.item().drawing();
        int light = 0;
        for (int i = 0; i < drawing.width() * drawing.height(); ++i) {
            const QColor c = drawing.pixelColor(i % drawing.width(), i / drawing.width());
            light += c.alpha() == 255 && c.lightness() > 200 ? 1 : 0;
        }
        return light > 50;
    };
    for (const std::uint32_t scheme : {0u, 1u, 2u, 1u}) {  // the answer to Read, then changes
        if (scheme != 0)
            Q_EMIT settings.SettingChanged("org.freedesktop.appearance", "color-scheme",
                                           QDBusVariant(scheme));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return portal.colorScheme() == scheme && lightGlyph() == (scheme == 1); }, 10000))
            << scheme;
    }
    daemon.terminate();
    daemon.waitForFinished();
}

// The no-tray notification on a private bus, as a notification service sees it. (Our
// StatusNotifierItem and its menu are proved against the real hosts of the end-to-end tests.)
TEST(NoTray, theUserHearsOfItInADesktopNotification) {
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--print-address", "--nofork"});
    if (!daemon.waitForReadyRead(10000)) GTEST_SKIP() << "dbus-daemon (package dbus-daemon) did not start";
    const QString address = QString::fromUtf8(daemon.readLine().trimmed());
    QDBusConnection service = QDBusConnection::connectToBus(address, "notifications");
    FakeNotifications notifications;
    service.registerObject("/org/freedesktop/Notifications", &notifications, QDBusConnection::ExportAllSlots);
    ASSERT_TRUE(service.registerService("org.freedesktop.Notifications"));
    EXPECT_TRUE(notifyNoTray(QDBusConnection::connectToBus(address, "client"), "switch it on", 5000));
    EXPECT_EQ(notifications.shown, QStringList("Quillory: no system tray is available / Switch it on."));
    daemon.terminate();
    daemon.waitForFinished();
}

struct Closes final : platform::WindowDelegate {
    void windowDidResize() override {}
    void windowDidResignKey() override {}
    void windowWillClose() override { ++count; }
    int count = 0;
};

// White at 0.9 inside, an opaque border, nothing outside the outline; the arrow's tip at x 140.
TEST(PanelWindow, translucentBodyOpaqueBorderAndWithoutCompositorCutToItsOutline) {
    const std::tuple<int, int, int> pixels[] = {
        // x, y (down), alpha
        {140, 200, 230}, {140, 6, 230}, {0, 200, 255}, {279, 200, 255}, {140, 399, 255}, {60, 8, 255},
        {60, 3, 0},      {0, 8, 0},     {0, 399, 0},   {279, 399, 0},   {279, 8, 0}};
    for (const bool compositing : {true, false}) {
        QtWindowServer server({[compositing] { return compositing; }, {}});
        BackgroundView background(platform::Rect{0, 0, 280, 400});  // outlives the window, as the panel's do
        Closes closes;
        const std::unique_ptr<platform::Window> window = server.createPanel({100, 100, 280, 400}, true);
        QWidget& widget = static_cast<QtWindow&>(*window).widget();
        window->setDelegate(&closes);
        window->setOpaque(false);  // as the panel controller sets it up
        window->setBackgroundColor(platform::Color::clear());
        window->setContentView(&background);
        background.setArrowX(140);
        window->makeKeyAndOrderFront();
        QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        for (const auto& [x, y, alpha] : pixels) {
            EXPECT_NEAR(image.pixelColor(x, y).alpha(), alpha, 1) << x << "," << y;
            EXPECT_EQ(image.pixelColor(x, y).red(), alpha > 0 ? 255 : 0) << x << "," << y;
            EXPECT_EQ(widget.mask().contains(QPoint(x, y)), !compositing && alpha > 0) << x << "," << y;
        }
        background.setArrowX(60);  // the mask follows the arrow and the size
        window->setFrame({100, 100, 200, 300}, true);
        EXPECT_EQ(widget.mask().contains(QPoint(60, 3)), !compositing);
        EXPECT_EQ(widget.mask().boundingRect(), compositing ? QRect() : QRect(0, 0, 200, 300));
        widget.close();  // as the window manager's close button does
        EXPECT_EQ(closes.count, 1);
        window->setDelegate(nullptr);
    }
}

TEST(WorkerReadQueue, appliesResultsInOrderOnTheUiThreadAndDropsThemWhenGone) {
    const std::thread::id ui = std::this_thread::get_id();
    std::vector<int> applied;  // -1: applied off the UI thread
    std::atomic<int> readOffUi = 0;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    {
        WorkerReadQueue queue;
        for (int i = 0; i < 4; ++i) {
            queue.post([&, i, released] {
                if (i == 3) released.wait();  // stuck on a hung mount
                readOffUi += std::this_thread::get_id() != ui ? 1 : 0;
                return ReadQueue::Apply(
                    [&, i] { applied.push_back(std::this_thread::get_id() == ui ? i : -1); });
            });
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return applied.size() == 3; }, 10000));
    }  // quitting never waits for the stuck read, and drops its result
    release.set_value();
    ASSERT_TRUE(QTest::qWaitFor([&] { return readOffUi == 4; }, 10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(applied, (std::vector<int>{0, 1, 2}));
}

}  // namespace
}  // namespace quillory::qt

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("WAYLAND_DISPLAY");  // the tray trusts the pointer only off Wayland sessions
    qunsetenv("XDG_SESSION_TYPE");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

#include "qt_desktop_test.moc"
