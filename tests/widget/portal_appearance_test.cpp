// The desktop portal's color-scheme over a real D-Bus connection (peer to peer, in process):
// the nested variants of Read, live SettingChanged, and the dark icon it leads to.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServer>
#include <QDBusVariant>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "menubar/menubar_controller.h"
#include "platform/qt/portal_appearance.h"
#include "platform/qt/qt_platform.h"
#include "widget_support.h"

// A stand-in for the portal's Settings interface, registered on the server side of the peer
// connection.
class FakePortalSettings final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    QVariant answer;

public Q_SLOTS:
    QDBusVariant Read(const QString& group, const QString& key) {
        ++reads;
        if (group != QLatin1String("org.freedesktop.appearance") || key != QLatin1String("color-scheme"))
            return {};
        return QDBusVariant(answer);
    }

Q_SIGNALS:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

public:
    int reads = 0;
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

// A portal on one end of a private peer-to-peer D-Bus connection, the client on the other.
struct PortalPeer {
    PortalPeer() : server(QStringLiteral("unix:dir=") + folder.path()) {
        QObject::connect(&server, &QDBusServer::newConnection, [this](const QDBusConnection& connection) {
            portalSide = std::make_unique<QDBusConnection>(connection);
            portalSide->registerObject(QString::fromLatin1(kPortalPath), &settings,
                                       QDBusConnection::ExportAllSlots);
        });
        client = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToPeer(server.address(), QStringLiteral("quillory-test-client")));
    }
    ~PortalPeer() { QDBusConnection::disconnectFromPeer(QStringLiteral("quillory-test-client")); }

    void change(QVariant value) {
        QDBusMessage signal =
            QDBusMessage::createSignal(QString::fromLatin1(kPortalPath), QString::fromLatin1(kPortalSettings),
                                       QStringLiteral("SettingChanged"));
        signal << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
               << QVariant::fromValue(QDBusVariant(value));
        portalSide->send(signal);
    }

    QTemporaryDir folder;
    FakePortalSettings settings;
    QDBusServer server;
    std::unique_ptr<QDBusConnection> portalSide;
    std::unique_ptr<QDBusConnection> client;
};

TEST(PortalAppearance, readsTheSchemeThenFollowsItsChanges) {
    PortalPeer peer;
    peer.settings.answer = QVariant::fromValue(QDBusVariant(QVariant(1u)));  // Read's v(v(u))
    ASSERT_TRUE(peer.client->isConnected());
    PortalAppearance portal(*peer.client, QString());
    int changes = 0;
    QObject::connect(&portal, &PortalAppearance::changed, [&] { ++changes; });
    ASSERT_TRUE(eventually([&] { return portal.colorScheme().has_value(); }));
    EXPECT_EQ(portal.colorScheme(), 1u);
    EXPECT_EQ(QtUserDefaults(std::nullopt, &portal).stringForKey("AppleInterfaceStyle"), "Dark");
    EXPECT_EQ(QtUserDefaults("light", &portal).stringForKey("AppleInterfaceStyle"), std::nullopt);

    peer.change(QVariant(2u));
    ASSERT_TRUE(eventually([&] { return portal.colorScheme() == 2u; }));
    EXPECT_EQ(QtUserDefaults(std::nullopt, &portal).stringForKey("AppleInterfaceStyle"), std::nullopt);
    EXPECT_EQ(changes, 2);
}

TEST(PortalAppearance, withoutAPortalTheDesktopIsLight) {
    PortalAppearance portal(QDBusConnection(QStringLiteral("not-connected")), QString());
    EXPECT_EQ(portal.colorScheme(), std::nullopt);
    EXPECT_EQ(QtUserDefaults(std::nullopt, &portal).stringForKey("AppleInterfaceStyle"), std::nullopt);
}

TEST(PortalAppearance, aChangeToDarkRedrawsTheTrayIconLight) {
    PortalPeer peer;
    peer.settings.answer = QVariant::fromValue(QDBusVariant(QVariant(0u)));
    PortalAppearance portal(*peer.client, QString());
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
    peer.change(QVariant(1u));
    EXPECT_TRUE(eventually([&] { return lightPixels() > 50; }));
}

}  // namespace
}  // namespace quillory::qt

#include "portal_appearance_test.moc"
