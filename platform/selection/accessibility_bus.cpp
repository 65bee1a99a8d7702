#include "platform/selection/accessibility_bus.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>

#include <algorithm>
#include <cstdlib>
#include <memory>

#ifdef QUILLORY_X11
#include <xcb/xcb.h>
#endif

namespace quillory::selection {
namespace {

const QString kRegistry = QStringLiteral("org.a11y.atspi.Registry");
const QString kRoot = QStringLiteral("/org/a11y/atspi/accessible/root");

#ifdef QUILLORY_X11
// What at-spi-bus-launcher writes on the root window of the display it serves.
std::optional<QString> addressOnRootWindow() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') return std::nullopt;
    int screenNumber = 0;
    std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> x(xcb_connect(display, &screenNumber),
                                                                     &xcb_disconnect);
    if (xcb_connection_has_error(x.get())) return std::nullopt;
    const xcb_setup_t* setup = xcb_get_setup(x.get());
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem == 0) return std::nullopt;
    const char name[] = "AT_SPI_BUS";
    std::unique_ptr<xcb_intern_atom_reply_t, void (*)(void*)> atom(
        xcb_intern_atom_reply(x.get(), xcb_intern_atom(x.get(), 1, sizeof name - 1, name), nullptr),
        &std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE) return std::nullopt;
    std::unique_ptr<xcb_get_property_reply_t, void (*)(void*)> property(
        xcb_get_property_reply(
            x.get(), xcb_get_property(x.get(), 0, screens.data->root, atom->atom, XCB_ATOM_STRING, 0, 1024),
            nullptr),
        &std::free);
    if (!property || property->format != 8) return std::nullopt;
    const int length = xcb_get_property_value_length(property.get());
    if (length <= 0) return std::nullopt;
    return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(property.get())), length);
}
#endif

std::optional<QString> addressFromLauncher(std::chrono::milliseconds timeout, std::string* why) {
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected()) {
        *why = "there is no session bus";
        return std::nullopt;
    }
    // Only a launcher that runs already: asking for the address must not start one.
    QDBusMessage owner = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    owner << QStringLiteral("org.a11y.Bus");
    const QDBusMessage owned = session.call(owner, QDBus::Block, static_cast<int>(timeout.count()));
    if (owned.type() != QDBusMessage::ReplyMessage || owned.arguments().value(0).toBool() != true) {
        *why = "the accessibility bus is not running";
        return std::nullopt;
    }
    QDBusMessage ask =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    ask.setAutoStartService(false);
    const QDBusMessage reply = session.call(ask, QDBus::Block, static_cast<int>(timeout.count()));
    const QString address = reply.arguments().value(0).toString();
    if (reply.type() != QDBusMessage::ReplyMessage || address.isEmpty()) {
        *why = "the accessibility bus launcher did not say where the bus is";
        return std::nullopt;
    }
    return address;
}

Accessible nextReference(const QDBusArgument& argument) {
    Accessible object;
    QDBusObjectPath path;
    argument.beginStructure();
    argument >> object.service >> path;
    argument.endStructure();
    object.path = path.path();
    return object;
}

}  // namespace

std::optional<Accessible> reference(const QVariant& value) {
    if (!value.canConvert<QDBusArgument>()) return std::nullopt;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("(so)")) return std::nullopt;
    return nextReference(argument);
}

namespace {

std::optional<std::vector<Accessible>> references(const QVariant& value) {
    if (!value.canConvert<QDBusArgument>()) return std::nullopt;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a(so)")) return std::nullopt;
    std::vector<Accessible> objects;
    argument.beginArray();
    while (!argument.atEnd()) objects.push_back(nextReference(argument));
    argument.endArray();
    return objects;
}

template <class T>
std::optional<std::vector<T>> listOf(const QVariant& value) {
    if (!value.canConvert<QDBusArgument>()) return std::nullopt;
    std::vector<T> items;
    const QDBusArgument argument = value.value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        T item{};
        argument >> item;
        items.push_back(item);
    }
    argument.endArray();
    return items;
}

template <class T, class F>
std::vector<std::optional<T>> each(const std::vector<std::optional<QVariant>>& answers, F convert) {
    std::vector<std::optional<T>> out;
    out.reserve(answers.size());
    for (const auto& answer : answers) out.push_back(answer ? convert(*answer) : std::nullopt);
    return out;
}

}  // namespace

std::optional<QString> accessibilityBusAddress(std::chrono::milliseconds timeout, std::string* why) {
    const QString variable = qEnvironmentVariable("AT_SPI_BUS_ADDRESS");
    if (!variable.isEmpty()) return variable;
#ifdef QUILLORY_X11
    if (std::optional<QString> address = addressOnRootWindow()) return address;
#endif
    return addressFromLauncher(timeout, why);
}

AccessibilityBus::AccessibilityBus(QDBusConnection connection, std::chrono::milliseconds timeout,
                                   BusActivity& activity)
    : connection_(std::move(connection)),
      timeoutMs_(static_cast<int>(timeout.count())),
      activity_(activity) {}

std::vector<std::optional<QDBusMessage>> AccessibilityBus::askAll(
    const std::vector<QDBusMessage>& questions) {
    if (questions.empty()) return {};
    std::vector<QDBusPendingCall> pending;
    pending.reserve(questions.size());
    activity_.waiting = true;
    for (const QDBusMessage& question : questions)
        pending.push_back(connection_.asyncCall(question, timeoutMs_));
    activity_.questions += questions.size();
    std::vector<std::optional<QDBusMessage>> answers;
    answers.reserve(questions.size());
    for (QDBusPendingCall& call : pending) {
        call.waitForFinished();
        const QDBusMessage reply = call.reply();
        if (reply.type() == QDBusMessage::ReplyMessage) {
            answers.emplace_back(reply);
            continue;
        }
        if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
            reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
            ++activity_.timeouts;
        answers.emplace_back();
    }
    activity_.waiting = false;
    return answers;
}

std::vector<std::optional<QVariant>> AccessibilityBus::call(const std::vector<Accessible>& objects,
                                                            const char* interface, const char* method,
                                                            const QVariantList& arguments) {
    std::vector<QDBusMessage> questions;
    questions.reserve(objects.size());
    for (const Accessible& object : objects) {
        QDBusMessage question = QDBusMessage::createMethodCall(
            object.service, object.path, QString::fromLatin1(interface), QString::fromLatin1(method));
        question.setArguments(arguments);
        question.setAutoStartService(false);
        questions.push_back(std::move(question));
    }
    std::vector<std::optional<QVariant>> values;
    for (const auto& answer : askAll(questions)) {
        if (answer && !answer->arguments().isEmpty()) {
            values.emplace_back(answer->arguments().first());
        } else {
            values.emplace_back();
        }
    }
    return values;
}

std::vector<std::optional<QVariant>> AccessibilityBus::property(const std::vector<Accessible>& objects,
                                                                const char* interface, const char* name) {
    std::vector<std::optional<QVariant>> values =
        call(objects, "org.freedesktop.DBus.Properties", "Get",
             {QString::fromLatin1(interface), QString::fromLatin1(name)});
    for (auto& value : values) {
        if (value && value->canConvert<QDBusVariant>()) {
            value = value->value<QDBusVariant>().variant();
        } else {
            value.reset();
        }
    }
    return values;
}

std::vector<std::optional<QString>> AccessibilityBus::names(const std::vector<Accessible>& objects) {
    return each<QString>(property(objects, "org.a11y.atspi.Accessible", "Name"),
                         [](const QVariant& v) { return std::optional(v.toString()); });
}

std::vector<std::optional<QString>> AccessibilityBus::descriptions(const std::vector<Accessible>& objects) {
    return each<QString>(property(objects, "org.a11y.atspi.Accessible", "Description"),
                         [](const QVariant& v) { return std::optional(v.toString()); });
}

std::vector<std::optional<std::uint32_t>> AccessibilityBus::roles(const std::vector<Accessible>& objects) {
    return each<std::uint32_t>(call(objects, "org.a11y.atspi.Accessible", "GetRole"),
                               [](const QVariant& v) { return std::optional(v.toUInt()); });
}

std::vector<std::optional<std::uint64_t>> AccessibilityBus::states(const std::vector<Accessible>& objects) {
    return each<std::uint64_t>(call(objects, "org.a11y.atspi.Accessible", "GetState"),
                               [](const QVariant& v) -> std::optional<std::uint64_t> {
                                   const auto words = listOf<std::uint32_t>(v);
                                   if (!words || words->size() < 2) return std::nullopt;
                                   return (*words)[0] | (std::uint64_t{(*words)[1]} << 32);
                               });
}

std::vector<std::optional<std::vector<Accessible>>> AccessibilityBus::children(
    const std::vector<Accessible>& objects) {
    return each<std::vector<Accessible>>(call(objects, "org.a11y.atspi.Accessible", "GetChildren"),
                                         references);
}

std::vector<std::optional<Accessible>> AccessibilityBus::parents(const std::vector<Accessible>& objects) {
    return each<Accessible>(property(objects, "org.a11y.atspi.Accessible", "Parent"), reference);
}

std::vector<std::optional<QString>> AccessibilityBus::texts(const std::vector<Accessible>& objects) {
    return each<QString>(call(objects, "org.a11y.atspi.Text", "GetText", {0, -1}),
                         [](const QVariant& v) { return std::optional(v.toString()); });
}

std::vector<std::optional<QStringList>> AccessibilityBus::interfaces(const std::vector<Accessible>& objects) {
    return each<QStringList>(call(objects, "org.a11y.atspi.Accessible", "GetInterfaces"),
                             [](const QVariant& v) -> std::optional<QStringList> {
                                 // QtDBus hands string arrays over as lists of its own.
                                 if (v.metaType() == QMetaType::fromType<QStringList>())
                                     return v.toStringList();
                                 const auto list = listOf<QString>(v);
                                 if (!list) return std::nullopt;
                                 return QStringList(list->begin(), list->end());
                             });
}

std::optional<std::vector<Accessible>> AccessibilityBus::selectedChildren(const Accessible& view) {
    const std::optional<QVariant> count =
        property({view}, "org.a11y.atspi.Selection", "NSelectedChildren").at(0);
    if (!count) return std::nullopt;
    std::vector<QDBusMessage> questions;
    for (int i = std::max(0, count->toInt() - kMostSelected); i < count->toInt(); ++i) {
        QDBusMessage question = QDBusMessage::createMethodCall(view.service, view.path,
                                                               QStringLiteral("org.a11y.atspi.Selection"),
                                                               QStringLiteral("GetSelectedChild"));
        question << i;
        questions.push_back(std::move(question));
    }
    std::vector<Accessible> selected;
    for (const auto& answer : askAll(questions)) {
        if (!answer || answer->arguments().isEmpty()) return std::nullopt;
        if (std::optional<Accessible> child = reference(answer->arguments().first()))
            selected.push_back(*child);
    }
    return selected;
}

std::optional<std::vector<Accessible>> AccessibilityBus::selectedRowCells(const Accessible& view,
                                                                          int column) {
    const std::optional<QVariant> rows = call({view}, "org.a11y.atspi.Table", "GetSelectedRows").at(0);
    std::optional<std::vector<int>> numbers = rows ? listOf<int>(*rows) : std::nullopt;
    if (!numbers) return std::nullopt;
    if (numbers->size() > kMostSelected) numbers->erase(numbers->begin(), numbers->end() - kMostSelected);
    std::vector<QDBusMessage> questions;
    for (int row : *numbers) {
        QDBusMessage question =
            QDBusMessage::createMethodCall(view.service, view.path, QStringLiteral("org.a11y.atspi.Table"),
                                           QStringLiteral("GetAccessibleAt"));
        question << row << column;
        questions.push_back(std::move(question));
    }
    std::vector<Accessible> cells;
    for (const auto& answer : askAll(questions)) {
        if (!answer || answer->arguments().isEmpty()) return std::nullopt;
        if (std::optional<Accessible> cell = reference(answer->arguments().first())) cells.push_back(*cell);
    }
    return cells;
}

std::optional<std::vector<Accessible>> AccessibilityBus::applications() {
    return children({Accessible{kRegistry, kRoot}}).at(0);
}

void AccessibilityBus::listenTo(const QString& program, const QStringList& events) {
    std::vector<QDBusMessage> questions;
    for (const QString& event : events) {
        QDBusMessage question =
            QDBusMessage::createMethodCall(kRegistry, QStringLiteral("/org/a11y/atspi/registry"), kRegistry,
                                           QStringLiteral("RegisterEvent"));
        question << event << QStringList() << program;
        questions.push_back(std::move(question));
    }
    askAll(questions);
}

}  // namespace quillory::selection
