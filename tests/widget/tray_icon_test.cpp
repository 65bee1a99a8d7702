// The tray icon on Qt, offscreen: drawn once, without a redraw loop; a click or a menu entry
// becomes the status item's action with the event set; its glyph follows the desktop portal's
// colour scheme, read over a private session bus.
#include <QDBusConnection>
#include <QDBusVariant>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include "menubar/menubar_controller.h"
#include "platform/qt/portal_appearance.h"
#include "platform/qt/qt_platform.h"

// A stand-in for the desktop portal's Settings interface.
class FakePortalSettings final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    QVariant answer;
public Q_SLOTS:
    // The first version's answer: a variant holding a variant.
    QDBusVariant Read(const QString&, const QString&) {
        return QDBusVariant(QVariant::fromValue(QDBusVariant(answer)));
    }
Q_SIGNALS:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);
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
    platform::TerminateReply applicationShouldTerminate() override {
        menubar.reset();
        return platform::TerminateReply::terminateNow;
    }
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
    QCoreApplication::processEvents();
    EXPECT_EQ(tray.item().displayPasses(), 2);
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
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0]->text() + " " + entries[1]->text(), "Show Panel Quit");
    tray.menubar->setHasActiveIcon(true);
    EXPECT_EQ(icon.contextMenu()->actions(), entries);  // retitled in place
    EXPECT_EQ(entries[0]->text(), "Hide Panel");
    entries[0]->trigger();
    entries[1]->trigger();
    EXPECT_EQ(tray.actions,
              (std::vector<std::string>{"togglePanel:", "togglePanel:", "togglePanel:", "doExit:"}));
    EXPECT_EQ(tray.events.back().type, platform::kLeftMouseDown);
    tray.qt.application.terminate();
    EXPECT_TRUE(tray.menubar == nullptr && tray.qt.statusBar.items().empty());
}

// A real dbus-daemon with the portal stand-in and the client on connections of their own: a
// change reaches the client only through the match rule it asked the daemon for.
TEST(TrayIcon, followsThePortalsColourScheme) {
    EXPECT_EQ(PortalAppearance(QDBusConnection("none"), QString()).colorScheme(), std::nullopt);
    QProcess daemon;
    daemon.start(QStandardPaths::findExecutable("dbus-daemon"), {"--session", "--print-address", "--nofork"});
    if (!daemon.waitForReadyRead(10000)) GTEST_SKIP() << "dbus-daemon (package dbus-daemon) did not start";
    const QString address = QString::fromUtf8(daemon.readLine().trimmed());
    FakePortalSettings settings;
    settings.answer = QVariant(0u);
    QDBusConnection portalSide = QDBusConnection::connectToBus(address, "portal");
    portalSide.registerObject(kPortalPath, &settings,
                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
    ASSERT_TRUE(portalSide.registerService(kPortalService));
    {
        PortalAppearance portal(QDBusConnection::connectToBus(address, "client"));
        Tray tray(&portal);
        QObject::connect(&portal, &PortalAppearance::changed, [&] { tray.qt.statusBar.redisplayAll(); });
        const auto lightGlyph = [&] {  // on a dark panel: a light glyph with a dark halo
            int light = 0;
            for (int y = 0; y < tray.item().drawing().height(); ++y) {
                for (int x = 0; x < tray.item().drawing().width(); ++x) {
                    const QColor c = tray.item().drawing().pixelColor(x, y);
                    light += c.alpha() == 255 && c.lightness() > 200 ? 1 : 0;
                }
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
            EXPECT_EQ(QtUserDefaults("light", &portal).stringForKey("AppleInterfaceStyle"), std::nullopt);
        }
    }
    QDBusConnection::disconnectFromBus("client");
    QDBusConnection::disconnectFromBus("portal");
    daemon.terminate();
    daemon.waitForFinished();
}

}  // namespace
}  // namespace quillory::qt

#include "tray_icon_test.moc"
