// The desktop portal's color-scheme over a private session bus: the nested variants of Read,
// live SettingChanged, and the dark icon it leads to.
#include <QDBusConnection>
#include <QDBusVariant>
#include <QProcess>
#include <QStandardPaths>

#include <memory>

#include <gtest/gtest.h>

#include "menubar/menubar_controller.h"
#include "platform/qt/portal_appearance.h"
#include "platform/qt/qt_platform.h"
#include "widget_support.h"

// A stand-in for the desktop portal's Settings interface.
class FakePortalSettings final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    QVariant answer;

public Q_SLOTS:
    // The first version's answer, a variant holding a variant.
    QDBusVariant Read(const QString& group, const QString& key) {
        return QDBusVariant(QVariant::fromValue(ReadOne(group, key)));
    }
    QDBusVariant ReadOne(const QString& group, const QString& key) {
        if (group != QLatin1String("org.freedesktop.appearance") || key != QLatin1String("color-scheme"))
            return {};
        return QDBusVariant(answer);
    }

Q_SIGNALS:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);
};

namespace quillory::qt {
namespace {

using testing::eventually;

TEST(PortalAnswer, unwrapsTheColorSchemeFromNestedVariants) {
    struct Case {
        const char* name;
        QVariant value;
        std::optional<std::uint32_t> scheme;
    };
    const auto wrap = [](QVariant v) { return QVariant::fromValue(QDBusVariant(v)); };
    const Case cases[] = {
        {"Read: variant in variant", wrap(wrap(QVariant(1u))), 1u},
        {"ReadOne or SettingChanged: one variant", wrap(QVariant(2u)), 2u},
        {"plain number", QVariant(0u), 0u},
        {"a signed number from a sloppy portal", wrap(QVariant(1)), 1u},
        {"negative", wrap(QVariant(-1)), std::nullopt},
        {"a string", wrap(QVariant(QStringLiteral("prefer-dark"))), std::nullopt},
        {"nothing", QVariant(), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(colorSchemeFromVariant(c.value), c.scheme);
    }
}

// A private session bus of its own (a real dbus-daemon, as a desktop runs one) with a portal
// stand-in on it, owning the portal's well-known name. The client is another connection to that
// bus, so a signal reaches it only through the match rule it asked the daemon for.
class PrivateBus {
public:
    PrivateBus() {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty()) {
            missing = "dbus-daemon is not installed (package dbus-daemon)";
            return;
        }
        daemon_.start(daemon, {QStringLiteral("--session"), QStringLiteral("--print-address"),
                               QStringLiteral("--nofork")});
        if (!daemon_.waitForReadyRead(10000)) {
            missing = "dbus-daemon did not start";
            return;
        }
        const QString address = QString::fromUtf8(daemon_.readLine().trimmed());
        static int buses = 0;
        const QString suffix = QString::number(++buses);
        portalName_ = QStringLiteral("quillory-test-portal-") + suffix;
        clientName_ = QStringLiteral("quillory-test-client-") + suffix;
        portalSide = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, portalName_));
        client = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, clientName_));
        portalSide->registerObject(QString::fromLatin1(kPortalPath), &settings,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
        if (!portalSide->registerService(QString::fromLatin1(kPortalService))) missing = "no portal name";
    }
    ~PrivateBus() {
        portalSide.reset();
        client.reset();
        QDBusConnection::disconnectFromBus(portalName_);
        QDBusConnection::disconnectFromBus(clientName_);
        daemon_.terminate();
        daemon_.waitForFinished();
    }

    // As the portal announces a switch: a broadcast to whoever asked for it.
    void change(QVariant value) {
        Q_EMIT settings.SettingChanged(QStringLiteral("org.freedesktop.appearance"),
                                       QStringLiteral("color-scheme"), QDBusVariant(value));
    }

    std::string missing;
    FakePortalSettings settings;
    std::unique_ptr<QDBusConnection> portalSide;
    std::unique_ptr<QDBusConnection> client;

private:
    QProcess daemon_;
    QString portalName_;
    QString clientName_;
};

#define START_PRIVATE_BUS(bus)                                 \
    PrivateBus bus;                                            \
    if (!(bus).missing.empty()) GTEST_SKIP() << (bus).missing; \
    ASSERT_TRUE((bus).client->isConnected())

TEST(PortalAppearance, readsTheSchemeThenFollowsItsChanges) {
    START_PRIVATE_BUS(bus);
    bus.settings.answer = QVariant(1u);
    PortalAppearance portal(*bus.client);
    int changes = 0;
    QObject::connect(&portal, &PortalAppearance::changed, [&] { ++changes; });
    ASSERT_TRUE(eventually([&] { return portal.colorScheme().has_value(); }));
    EXPECT_EQ(portal.colorScheme(), 1u);
    EXPECT_EQ(QtUserDefaults(std::nullopt, &portal).stringForKey("AppleInterfaceStyle"), "Dark");
    EXPECT_EQ(QtUserDefaults("light", &portal).stringForKey("AppleInterfaceStyle"), std::nullopt);

    bus.change(QVariant(2u));
    ASSERT_TRUE(eventually([&] { return portal.colorScheme() == 2u; }));
    EXPECT_EQ(QtUserDefaults(std::nullopt, &portal).stringForKey("AppleInterfaceStyle"), std::nullopt);
    bus.change(QVariant(1u));
    ASSERT_TRUE(eventually([&] { return portal.colorScheme() == 1u; }));
    EXPECT_EQ(changes, 3);
}

TEST(PortalAppearance, withoutAPortalTheDesktopIsLight) {
    PortalAppearance portal(QDBusConnection(QStringLiteral("not-connected")), QString());
    EXPECT_EQ(portal.colorScheme(), std::nullopt);
    EXPECT_EQ(QtUserDefaults(std::nullopt, &portal).stringForKey("AppleInterfaceStyle"), std::nullopt);
}

TEST(PortalAppearance, aChangeToDarkRedrawsTheTrayIconLight) {
    START_PRIVATE_BUS(bus);
    bus.settings.answer = QVariant(0u);
    PortalAppearance portal(*bus.client);
    QtPlatform qt({{[] { return true; }, {}}, std::nullopt, &portal});
    QObject::connect(&portal, &PortalAppearance::changed, [&] { qt.statusBar.redisplayAll(); });
    MenubarController menubar(qt.services());
    QtStatusItem& item = *qt.statusBar.items().front();
    auto lightPixels = [&] {
        int light = 0;
        for (int y = 0; y < item.drawing().height(); ++y) {
            for (int x = 0; x < item.drawing().width(); ++x) {
                const QColor c = testing::pixelAt(item.drawing(), x, y);
                if (c.alpha() == 255 && c.lightness() > 200) ++light;  // the glyph, not its halo
            }
        }
        return light;
    };
    ASSERT_TRUE(eventually([&] { return item.displayPasses() >= 2 && portal.colorScheme() == 0u; }));
    EXPECT_EQ(lightPixels(), 0);
    bus.change(QVariant(1u));
    EXPECT_TRUE(eventually([&] { return lightPixels() > 50; }));
}

}  // namespace
}  // namespace quillory::qt

#include "portal_appearance_test.moc"
