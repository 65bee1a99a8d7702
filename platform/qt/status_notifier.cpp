#include "platform/qt/status_notifier.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QTimer>
#include <QtEndian>

#include <iostream>

#include "platform/qt/x11_desktop.h"

namespace quillory::qt::dbus {

// The D-Bus structures of the two interfaces: a picture (iiay, ARGB in network byte order), a
// tooltip (sa(iiay)ss), and a menu entry with its children (ia{sv}av).
struct Pixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;
};
using Pixmaps = QList<Pixmap>;
struct ToolTip {
    QString iconName;
    Pixmaps pixmaps;
    QString title;
    QString text;
};
struct MenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<MenuLayout> children;
};
struct MenuProperties {
    int id = 0;
    QVariantMap properties;
};
using MenuPropertiesList = QList<MenuProperties>;

QDBusArgument& operator<<(QDBusArgument& out, const Pixmap& pixmap) {
    out.beginStructure();
    out << pixmap.width << pixmap.height << pixmap.argb;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, Pixmap& pixmap) {
    in.beginStructure();
    in >> pixmap.width >> pixmap.height >> pixmap.argb;
    in.endStructure();
    return in;
}
QDBusArgument& operator<<(QDBusArgument& out, const ToolTip& tip) {
    out.beginStructure();
    out << tip.iconName << tip.pixmaps << tip.title << tip.text;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, ToolTip& tip) {
    in.beginStructure();
    in >> tip.iconName >> tip.pixmaps >> tip.title >> tip.text;
    in.endStructure();
    return in;
}
QDBusArgument& operator<<(QDBusArgument& out, const MenuLayout& item) {
    out.beginStructure();
    out << item.id << item.properties;
    out.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const MenuLayout& child : item.children) out << QDBusVariant(QVariant::fromValue(child));
    out.endArray();
    out.endStructure();
    return out;
}
// Only there for the registration: nobody sends us a layout.
const QDBusArgument& operator>>(const QDBusArgument& in, MenuLayout& item) {
    in.beginStructure();
    in >> item.id >> item.properties;
    in.beginArray();
    while (!in.atEnd()) {
        QDBusVariant child;
        in >> child;
    }
    in.endArray();
    in.endStructure();
    return in;
}
QDBusArgument& operator<<(QDBusArgument& out, const MenuProperties& item) {
    out.beginStructure();
    out << item.id << item.properties;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, MenuProperties& item) {
    in.beginStructure();
    in >> item.id >> item.properties;
    in.endStructure();
    return in;
}

}  // namespace quillory::qt::dbus

Q_DECLARE_METATYPE(quillory::qt::dbus::Pixmap)
Q_DECLARE_METATYPE(quillory::qt::dbus::ToolTip)
Q_DECLARE_METATYPE(quillory::qt::dbus::MenuLayout)
Q_DECLARE_METATYPE(quillory::qt::dbus::MenuProperties)

namespace quillory::qt {

namespace {

using namespace dbus;

const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
constexpr int kWatcherTimeoutMs = 5000;
constexpr int kRetryMs = 500;
constexpr int kMaxRetries = 3;

void registerTypes() {
    static const bool once = [] {
        qDBusRegisterMetaType<Pixmap>();
        qDBusRegisterMetaType<Pixmaps>();
        qDBusRegisterMetaType<ToolTip>();
        qDBusRegisterMetaType<MenuLayout>();
        qDBusRegisterMetaType<MenuProperties>();
        qDBusRegisterMetaType<MenuPropertiesList>();
        return true;
    }();
    (void)once;
}

Pixmap pixmapOf(const QImage& picture) {
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    Pixmap pixmap{argb.width(), argb.height(), QByteArray(argb.width() * argb.height() * 4, '\0')};
    auto* out = reinterpret_cast<quint32*>(pixmap.argb.data());
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) *out++ = qToBigEndian(row[x]);
    }
    return pixmap;
}

// Hosts send 0,0 when they do not know where the icon is.
std::optional<QPoint> hostPosition(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.size() < 2) return std::nullopt;
    const QPoint at(args[0].toInt(), args[1].toInt());
    return at.isNull() ? std::nullopt : std::optional<QPoint>(at);
}

// What the two objects offer, for those who look; hosts know the interfaces already.
const char* const kItemXml = R"xml(<interface name="org.kde.StatusNotifierItem">
<property name="Category" type="s" access="read"/><property name="Id" type="s" access="read"/>
<property name="Title" type="s" access="read"/><property name="Status" type="s" access="read"/>
<property name="WindowId" type="i" access="read"/><property name="IconThemePath" type="s" access="read"/>
<property name="Menu" type="o" access="read"/><property name="ItemIsMenu" type="b" access="read"/>
<property name="IconName" type="s" access="read"/><property name="IconPixmap" type="a(iiay)" access="read"/>
<property name="OverlayIconName" type="s" access="read"/><property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
<property name="AttentionIconName" type="s" access="read"/><property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
<property name="AttentionMovieName" type="s" access="read"/><property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
<method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
<method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
<method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
<method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
<method name="ProvideXdgActivationToken"><arg name="token" type="s" direction="in"/></method>
<signal name="NewTitle"/><signal name="NewIcon"/><signal name="NewAttentionIcon"/><signal name="NewOverlayIcon"/>
<signal name="NewToolTip"/><signal name="NewStatus"><arg name="status" type="s"/></signal>
</interface>)xml";
const char* const kMenuXml = R"xml(<interface name="com.canonical.dbusmenu">
<property name="Version" type="u" access="read"/><property name="TextDirection" type="s" access="read"/>
<property name="Status" type="s" access="read"/><property name="IconThemePath" type="as" access="read"/>
<method name="GetLayout"><arg type="i" direction="in"/><arg type="i" direction="in"/><arg type="as" direction="in"/>
<arg type="u" direction="out"/><arg type="(ia{sv}av)" direction="out"/></method>
<method name="GetGroupProperties"><arg type="ai" direction="in"/><arg type="as" direction="in"/>
<arg type="a(ia{sv})" direction="out"/></method>
<method name="GetProperty"><arg type="i" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
<method name="Event"><arg type="i" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="in"/>
<arg type="u" direction="in"/></method>
<method name="EventGroup"><arg type="a(isvu)" direction="in"/><arg type="ai" direction="out"/></method>
<method name="AboutToShow"><arg type="i" direction="in"/><arg type="b" direction="out"/></method>
<method name="AboutToShowGroup"><arg type="ai" direction="in"/><arg type="ai" direction="out"/>
<arg type="ai" direction="out"/></method>
<signal name="ItemsPropertiesUpdated"><arg type="a(ia{sv})"/><arg type="a(ias)"/></signal>
<signal name="LayoutUpdated"><arg type="u"/><arg type="i"/></signal>
<signal name="ItemActivationRequested"><arg type="i"/><arg type="u"/></signal>
</interface>)xml";

}  // namespace

StatusNotifier::StatusNotifier(QDBusConnection bus, Handlers handlers)
    : bus_(std::move(bus)),
      handlers_(std::move(handlers)),
      watcher_(kWatcher, bus_, QDBusServiceWatcher::WatchForRegistration) {
    registerTypes();
    bus_.registerVirtualObject(kItemPath, this);
    bus_.registerVirtualObject(kMenuPath, this);
    // A watcher that starts later, or again (a restarted panel), learns of the item too.
    connect(&watcher_, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        if (announced_) registerWithWatcher();
    });
    bus_.connect(kWatcher, QStringLiteral("/StatusNotifierWatcher"), kWatcher,
                 QStringLiteral("StatusNotifierItemUnregistered"), this, SLOT(unregistered(QString)));
}

void StatusNotifier::unregistered(const QString& id) {
    if (!id.startsWith(bus_.baseService()) || !announced_ || retries_ >= kMaxRetries) return;
    ++retries_;
    std::cerr << "quillory: the tray dropped the icon; offering it again" << std::endl;
    QTimer::singleShot(kRetryMs, this, [this] { registerWithWatcher(); });
}

StatusNotifier::~StatusNotifier() {
    bus_.unregisterObject(kItemPath);
    bus_.unregisterObject(kMenuPath);
}

void StatusNotifier::registerWithWatcher() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kWatcher, QStringLiteral("/StatusNotifierWatcher"), kWatcher,
                                       QStringLiteral("RegisterStatusNotifierItem"));
    // Our unique name, not a well-known one whose owner GNOME's AppIndicator would resolve while
    // it sets the item up: an owner it learns of late makes it drop the item's properties.
    call << bus_.baseService();
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call, kWatcherTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* done) {
        if (done->isError()) {
            std::cerr << "quillory: the tray did not take the icon: " << done->error().message().toStdString()
                      << std::endl;
        }
        done->deleteLater();
    });
}

void StatusNotifier::setIcon(const QString& themeName, const QList<QImage>& pictures) {
    const bool first = pictures_.isEmpty();
    iconName_ = themeName;
    pictures_ = pictures;
    // The tray learns of the item once it has a picture to show (a host that reads an empty one
    // may keep a blank slot), after the display pass that follows the first (the view replaces
    // its first picture at once), and hears of no new icon before.
    if (first) {
        QTimer::singleShot(0, this, [this] {
            announced_ = true;
            registerWithWatcher();
        });
    }
    if (announced_) emitSignal(kItemPath, kItemInterface, QStringLiteral("NewIcon"));
}

void StatusNotifier::setToolTip(const QString& text) {
    if (text == toolTip_) return;
    toolTip_ = text;
    emitSignal(kItemPath, kItemInterface, QStringLiteral("NewToolTip"));
}

void StatusNotifier::setMenu(const QStringList& titles) {
    if (titles == menu_) return;
    menu_ = titles;
    emitSignal(kMenuPath, kMenuInterface, QStringLiteral("LayoutUpdated"), {++revision_, 0});
}

QVariantMap StatusNotifier::itemProperties() const {
    Pixmaps pixmaps;
    for (const QImage& picture : pictures_) pixmaps.append(pixmapOf(picture));
    const QVariant none = QVariant::fromValue(Pixmaps{});
    return {{QStringLiteral("Category"), QStringLiteral("ApplicationStatus")},
            {QStringLiteral("Id"), QStringLiteral("quillory")},
            {QStringLiteral("Title"), QStringLiteral("Quillory")},
            {QStringLiteral("Status"), QStringLiteral("Active")},
            {QStringLiteral("WindowId"), 0},
            {QStringLiteral("IconThemePath"), QString()},
            {QStringLiteral("Menu"), QVariant::fromValue(QDBusObjectPath(kMenuPath))},
            {QStringLiteral("ItemIsMenu"), false},
            {QStringLiteral("IconName"), iconName_},
            {QStringLiteral("IconPixmap"), QVariant::fromValue(pixmaps)},
            {QStringLiteral("OverlayIconName"), QString()},
            {QStringLiteral("OverlayIconPixmap"), none},
            {QStringLiteral("AttentionIconName"), QString()},
            {QStringLiteral("AttentionIconPixmap"), none},
            {QStringLiteral("AttentionMovieName"), QString()},
            {QStringLiteral("ToolTip"), QVariant::fromValue(ToolTip{QString(), {}, toolTip_, QString()})}};
}

QVariantMap StatusNotifier::menuProperties() const {
    return {{QStringLiteral("Version"), 3u},
            {QStringLiteral("TextDirection"), QStringLiteral("ltr")},
            {QStringLiteral("Status"), QStringLiteral("normal")},
            {QStringLiteral("IconThemePath"), QStringList()}};
}

QString StatusNotifier::introspect(const QString& path) const {
    return QString::fromUtf8(path == kMenuPath ? kMenuXml : kItemXml);
}

bool StatusNotifier::handleMessage(const QDBusMessage& message, const QDBusConnection& /*connection*/) {
    if (message.interface() == kProperties) {
        const QVariantList args = message.arguments();
        const QVariantMap all = message.path() == kMenuPath ? menuProperties() : itemProperties();
        if (message.member() == QStringLiteral("GetAll")) {
            bus_.send(message.createReply(QVariant::fromValue(all)));
        } else if (message.member() == QStringLiteral("Get") && args.size() == 2 &&
                   all.contains(args[1].toString())) {
            bus_.send(message.createReply(QVariant::fromValue(QDBusVariant(all.value(args[1].toString())))));
        } else {
            bus_.send(message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("no such property")));
        }
        return true;
    }
    const bool handled = message.path() == kMenuPath ? handleMenu(message) : handleItem(message);
    if (!handled) bus_.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
    return true;
}

bool StatusNotifier::handleItem(const QDBusMessage& message) {
    const QString member = message.member();
    if (member == QStringLiteral("Activate") || member == QStringLiteral("SecondaryActivate")) {
        bus_.send(message.createReply());
        handlers_.activate(hostPosition(message));
        activationHandled();
    } else if (member == QStringLiteral("ContextMenu")) {
        bus_.send(message.createReply());
        handlers_.contextMenu(hostPosition(message));
    } else if (member == QStringLiteral("ProvideXdgActivationToken") && !message.arguments().isEmpty()) {
        activationHandled();  // one left over from a host that activated nothing
        activationToken_ = message.arguments().front().toString();
        bus_.send(message.createReply());
    } else if (member == QStringLiteral("Scroll")) {
        bus_.send(message.createReply());
    } else {
        return false;
    }
    return true;
}

bool StatusNotifier::handleMenu(const QDBusMessage& message) {
    const QString member = message.member();
    const QVariantList args = message.arguments();
    auto entry = [this](int id) {
        QVariantMap properties{{QStringLiteral("label"), menu_.value(id - 1)},
                               {QStringLiteral("enabled"), true},
                               {QStringLiteral("visible"), true}};
        if (id == 0) properties = {{QStringLiteral("children-display"), QStringLiteral("submenu")}};
        return properties;
    };
    auto event = [this](int id, const QString& kind) {
        if (kind == QStringLiteral("opened") && id == 0) handlers_.menuOpened();
        if (kind == QStringLiteral("clicked") && id >= 1 && id <= menu_.size()) {
            handlers_.menuChosen(id - 1);
            activationHandled();
        }
    };
    if (member == QStringLiteral("GetLayout")) {
        MenuLayout root{0, entry(0), {}};
        for (int id = 1; id <= menu_.size(); ++id) root.children.append({id, entry(id), {}});
        const int parent = args.value(0).toInt();
        bus_.send(message.createReply(
            {revision_, QVariant::fromValue(parent == 0 ? root : MenuLayout{parent, entry(parent), {}})}));
    } else if (member == QStringLiteral("GetGroupProperties")) {
        MenuPropertiesList found;
        for (int id : qdbus_cast<QList<int>>(args.value(0))) {
            if (id >= 0 && id <= menu_.size()) found.append({id, entry(id)});
        }
        bus_.send(message.createReply(QVariant::fromValue(found)));
    } else if (member == QStringLiteral("GetProperty")) {
        const QVariant value = entry(args.value(0).toInt()).value(args.value(1).toString());
        bus_.send(
            message.createReply(QVariant::fromValue(QDBusVariant(value.isValid() ? value : QString()))));
    } else if (member == QStringLiteral("Event")) {
        bus_.send(message.createReply());
        event(args.value(0).toInt(), args.value(1).toString());
    } else if (member == QStringLiteral("EventGroup")) {
        bus_.send(message.createReply(QVariant::fromValue(QList<int>())));
        const QDBusArgument events = args.value(0).value<QDBusArgument>();
        events.beginArray();
        while (!events.atEnd()) {
            int id = 0;
            QString kind;
            QDBusVariant data;
            uint timestamp = 0;
            events.beginStructure();
            events >> id >> kind >> data >> timestamp;
            events.endStructure();
            event(id, kind);
        }
        events.endArray();
    } else if (member == QStringLiteral("AboutToShow")) {
        bus_.send(message.createReply(false));
        if (args.value(0).toInt() == 0) handlers_.menuOpened();
    } else if (member == QStringLiteral("AboutToShowGroup")) {
        bus_.send(
            message.createReply({QVariant::fromValue(QList<int>()), QVariant::fromValue(QList<int>())}));
        handlers_.menuOpened();
    } else {
        return false;
    }
    return true;
}

void StatusNotifier::emitSignal(const QString& path, const QString& interface, const QString& name,
                                const QVariantList& arguments) {
    QDBusMessage signal = QDBusMessage::createSignal(path, interface, name);
    signal.setArguments(arguments);
    bus_.send(signal);
}

void StatusNotifier::activationHandled() {
    if (activationToken_.isEmpty()) return;
    desktop::completeStartup(activationToken_.toStdString());
    activationToken_.clear();
}

}  // namespace quillory::qt
