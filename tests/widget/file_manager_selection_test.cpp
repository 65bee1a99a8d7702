// The file manager's selection against stand-ins on a private bus: a registry, a file manager
// whose one window has a view, its selected items and a path bar, and another program.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <sstream>

#include "inspection/url.h"
#include "platform/selection/file_manager_selection.h"
#include "tests/support/support.h"

struct Ref {
    QString service;
    QDBusObjectPath path;
};
Q_DECLARE_METATYPE(Ref)
QDBusArgument& operator<<(QDBusArgument& out, const Ref& ref) {
    out.beginStructure();
    out << ref.service << ref.path;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, Ref& ref) {
    in.beginStructure();
    in >> ref.service >> ref.path;
    in.endStructure();
    return in;
}

namespace quillory::selection {
namespace {

using Urls = std::vector<std::string>;
const QString kRoot = QStringLiteral("/org/a11y/atspi/accessible/root");

// One program on the bus: objects by path, and every question it was asked.
class Program final : public QDBusVirtualObject {
public:
    struct Object {
        std::uint32_t role = 0;
        QString name;
        std::uint64_t states = 0;
        QStringList children;  // paths
        QStringList interfaces;
        QStringList selected;  // paths of the selected children
        QList<Ref> programs;   // the registry's children: other programs
    };

    Program(const QString& address, const QString& name) : bus(QDBusConnection::connectToBus(address, name)) {
        bus.registerVirtualObject(QStringLiteral("/"), this, QDBusConnection::SubPath);
    }
    ~Program() override { QDBusConnection::disconnectFromBus(bus.name()); }
    QString service() const { return bus.baseService(); }
    void changed(const QString& path, const char* interface = "Object",
                 const char* member = "SelectionChanged") {
        bus.send(QDBusMessage::createSignal(path, QStringLiteral("org.a11y.atspi.Event.") + interface, member)
                 << QString() << 0 << 0 << QVariant::fromValue(QDBusVariant(0)) << QVariantMap());
    }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        asked << message.member() + " " + message.path() + " " + message.arguments().value(1).toString();
        if (stalled) {
            held.push_back(message);  // answered never
            return true;
        }
        const auto found = objects.find(message.path());
        if (found == objects.end()) {  // gone
            connection.send(message.createErrorReply(QDBusError::UnknownObject, message.path()));
            return true;
        }
        const Object& object = found->second;
        const QString member = message.member();
        QVariant answer;
        const auto ref = [this](const QString& path) {
            return QVariant::fromValue(Ref{service(), QDBusObjectPath(path)});
        };
        if (member == "Get" && message.arguments().value(1) == "Name")
            answer = QVariant::fromValue(QDBusVariant(object.name));
        if (member == "Get" && message.arguments().value(1) == "NSelectedChildren")
            answer = QVariant::fromValue(QDBusVariant(int(object.selected.size())));
        if (member == "Get" && message.arguments().value(1) == "Parent")
            answer = QVariant::fromValue(QDBusVariant(ref(kRoot)));
        if (member == "GetRole") answer = object.role;
        if (member == "GetState") answer = QVariant::fromValue(QList<uint>{uint(object.states), 0});
        if (member == "GetInterfaces") answer = object.interfaces;
        if (member == "GetSelectedChild")
            answer = ref(object.selected.value(message.arguments().value(0).toInt()));
        if (member == "GetChildren") {
            QList<Ref> children = object.programs;
            for (const QString& child : object.children)
                children.push_back({service(), QDBusObjectPath(child)});
            answer = QVariant::fromValue(children);
        }
        connection.send(answer.isValid() ? message.createReply(answer)
                                         : message.createErrorReply(QDBusError::UnknownMethod, member));
        return true;
    }

    QDBusConnection bus;
    std::map<QString, Object> objects;
    QStringList asked;
    bool stalled = false;
    std::vector<QDBusMessage> held;
};

class FileManagerSelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        qDBusRegisterMetaType<Ref>();
        qDBusRegisterMetaType<QList<Ref>>();
        daemon.start("dbus-daemon", {"--session", "--print-address", "--nofork"});
        if (!daemon.waitForReadyRead(10000))
            GTEST_SKIP() << "dbus-daemon (package dbus-daemon) did not start";
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        qputenv("AT_SPI_BUS_ADDRESS", address.toUtf8());
        for (const char* name : {"first.jpg", "second.jpg"}) folder.write(name, {1});
        const QString path = QString::fromStdString(folder.path().string());
        registry = std::make_unique<Program>(address, "registry");
        registry->bus.registerService("org.a11y.atspi.Registry");
        nemo = std::make_unique<Program>(address, "nemo");
        other = std::make_unique<Program>(address, "other");
        registry->objects[kRoot] = {75, "main", 0, {}, {}, {}, {}};
        other->objects[kRoot] = {75, "gedit", 0, {"/text"}, {}, {}, {}};
        nemo->objects = {
            {kRoot, {75, "nemo", 0, {"/frame"}, {}, {}, {}}},
            {"/frame", {23, "Pictures", 2, {"/bar", "/view"}, {}, {}, {}}},
            {"/view", {30, "Icon View", 0, {"/a", "/b"}, {"org.a11y.atspi.Selection"}, {"/a", "/b"}, {}}},
            {"/a", {26, "first.jpg", 0, {}, {}, {}, {}}},
            {"/b", {26, "second.jpg", 0, {}, {}, {}, {}}},
            {"/bar", {39, "", 0, {}, {}, {}, {}}}};
        // The path bar, from the folder up to the root.
        QStringList parts = path.split('/');
        for (qsizetype i = parts.size() - 1; i >= 0; --i) {
            const QString button = "/button" + QString::number(i);
            nemo->objects[button] = {62, parts[i], i == parts.size() - 1 ? 16u : 0u, {}, {}, {}, {}};
            nemo->objects["/bar"].children << button;
        }
        registry->objects[kRoot].programs = {{nemo->service(), QDBusObjectPath(kRoot)},
                                             {other->service(), QDBusObjectPath(kRoot)}};
    }
    void TearDown() override {
        qunsetenv("AT_SPI_BUS_ADDRESS");
        daemon.kill();
        daemon.waitForFinished();
    }

    std::unique_ptr<FileManagerSelection> reader(
        std::chrono::milliseconds timeout = FileManagerSelection::kReplyTimeout) {
        auto watch =
            std::make_unique<FileManagerSelection>([this](Urls urls) { reported.push_back(urls); }, timeout);
        watch->start();
        return watch;
    }
    std::string url(const char* name) const {
        return Url::fromLocalPath((folder.path() / name).string()).string();
    }

    QProcess daemon;
    QString address;
    support::TempDir folder;
    std::unique_ptr<Program> registry, nemo, other;
    std::vector<Urls> reported;
};

// Listened to: the registry was told which of a program's events to pass on.
bool followed(const Program& registry) {
    return QTest::qWaitFor([&] { return registry.asked.filter("RegisterEvent").size() > 0; }, 10000);
}

TEST_F(FileManagerSelectionTest, readsOnlyTheFileManagerAndReportsItsSelectionInTheViewsOrder) {
    const auto watch = reader();
    ASSERT_TRUE(followed(*registry));
    nemo->changed("/view");
    ASSERT_TRUE(QTest::qWaitFor([&] { return reported.size() == 1; }, 10000));
    EXPECT_EQ(reported[0], (Urls{url("first.jpg"), url("second.jpg")}));
    // Another program's events are not listened to; a new selection is reported, the same not again.
    other->changed("/text");
    nemo->changed("/view");
    nemo->objects["/view"].selected = {"/b"};
    nemo->changed("/view");
    ASSERT_TRUE(QTest::qWaitFor([&] { return reported.size() == 2; }, 10000));
    EXPECT_EQ(reported[1], Urls{url("second.jpg")});
    // Its view gives way to another (a list view): the window is searched again when it comes
    // to the front.
    nemo->objects.erase("/view");
    nemo->objects["/list"] = {66, "List View", 0, {"/a"}, {"org.a11y.atspi.Selection"}, {"/a"}, {}};
    nemo->objects["/frame"].children = {"/bar", "/list"};
    nemo->changed("/frame", "Window", "Activate");
    ASSERT_TRUE(QTest::qWaitFor([&] { return reported.size() == 3; }, 10000));
    EXPECT_EQ(reported[2], Urls{url("first.jpg")});
    EXPECT_EQ(other->asked, QStringList{"Get " + kRoot + " Name"});
    EXPECT_EQ(registry->asked.filter("RegisterEvent").size(), registry->asked.size() - 1);  // and GetChildren
    EXPECT_EQ(watch->counters().timeouts, 0u);
}

TEST_F(FileManagerSelectionTest, aFileManagerThatStopsAnsweringHoldsUpNothing) {
    const auto watch = reader(std::chrono::milliseconds(400));
    ASSERT_TRUE(followed(*registry));
    nemo->stalled = true;
    nemo->changed("/view");
    // The caller's thread runs on while the reader waits, then gives up.
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch->busy(); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watch->busy() && watch->counters().timeouts > 0; }, 10000));
    EXPECT_TRUE(reported.empty());
    nemo->stalled = false;  // it answers again
    nemo->changed("/view");
    ASSERT_TRUE(QTest::qWaitFor([&] { return reported.size() == 1; }, 10000));
    EXPECT_EQ(reported[0], (Urls{url("first.jpg"), url("second.jpg")}));
}

TEST_F(FileManagerSelectionTest, withoutAnAccessibilityBusSaysSoOnce) {
    qunsetenv("AT_SPI_BUS_ADDRESS");
    qunsetenv("DISPLAY");
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());  // a session bus with no bus launcher
    std::stringstream said;
    std::streambuf* stderrBuffer = std::cerr.rdbuf(said.rdbuf());
    {
        const auto watch = reader();
        EXPECT_TRUE(QTest::qWaitFor([&] { return said.str().find("running") != std::string::npos; }, 10000));
    }
    std::cerr.rdbuf(stderrBuffer);
    EXPECT_EQ(said.str(),
              "quillory: not following the file manager's selection: the accessibility bus is not running\n");
}

}  // namespace
}  // namespace quillory::selection

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
