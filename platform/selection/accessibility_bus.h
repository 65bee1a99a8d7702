#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillory::selection {

// One object on the accessibility bus: its program's bus name and the object's path.
struct Accessible {
    QString service;
    QString path;

    bool isNull() const {
        return service.isEmpty() || path.isEmpty() || path == QLatin1String("/org/a11y/atspi/null");
    }
    friend bool operator==(const Accessible&, const Accessible&) = default;
    friend bool operator<(const Accessible& a, const Accessible& b) {
        return a.service != b.service ? a.service < b.service : a.path < b.path;
    }
};

// The object a reply or an event carries as a "(so)" structure; none for anything else.
std::optional<Accessible> reference(const QVariant& value);

// The roles and states of the accessibility protocol that the reader looks at.
namespace role {
inline constexpr std::uint32_t checkBox = 7, comboBox = 11, dialog = 16, directoryPane = 17, filler = 20,
                               frame = 23, icon = 26, label = 29, layeredPane = 30, list = 31, listItem = 32,
                               menu = 33, menuBar = 34, menuItem = 35, panel = 39, popupMenu = 41,
                               pushButton = 43, radioButton = 44, statusBar = 54, table = 55, tableCell = 56,
                               text = 61, toggleButton = 62, toolBar = 63, tree = 65, treeTable = 66,
                               window = 69, application = 75, tableRow = 90, treeItem = 91;
}
namespace state {
inline constexpr std::uint64_t active = 1ull << 1, checked = 1ull << 4, defunct = 1ull << 6,
                               focused = 1ull << 12, selected = 1ull << 23;
}

// The accessibility bus's address, without starting anything: AT_SPI_BUS_ADDRESS, the X root
// window's AT_SPI_BUS, else the address of the bus launcher already on the session bus. None,
// with the reason, when the session has no accessibility bus.
std::optional<QString> accessibilityBusAddress(std::chrono::milliseconds timeout, std::string* why);

// What the questions to programs came to, readable from any thread.
struct BusActivity {
    std::atomic<std::uint64_t> questions{0};
    std::atomic<std::uint64_t> timeouts{0};  // answers that never came
    std::atomic<bool> waiting{false};        // a batch of questions awaits its answers
};

// Questions to the programs on the accessibility bus, asked on the caller's thread, each bounded
// by a timeout: a program that does not answer gives nothing. Questions are asked in batches,
// all sent before the first answer is awaited, so a batch takes about as long as one question.
// Nothing but questions is ever sent.
class AccessibilityBus {
public:
    AccessibilityBus(QDBusConnection connection, std::chrono::milliseconds timeout, BusActivity& activity);

    const QDBusConnection& connection() const { return connection_; }

    std::vector<std::optional<QString>> names(const std::vector<Accessible>& objects);
    std::vector<std::optional<QString>> descriptions(const std::vector<Accessible>& objects);
    std::vector<std::optional<std::uint32_t>> roles(const std::vector<Accessible>& objects);
    std::vector<std::optional<std::uint64_t>> states(const std::vector<Accessible>& objects);
    std::vector<std::optional<std::vector<Accessible>>> children(const std::vector<Accessible>& objects);
    std::vector<std::optional<Accessible>> parents(const std::vector<Accessible>& objects);
    std::vector<std::optional<QString>> texts(const std::vector<Accessible>& objects);
    std::vector<std::optional<QStringList>> interfaces(const std::vector<Accessible>& objects);
    // At most this many selected items are read, the last ones: they decide what is shown.
    static constexpr int kMostSelected = 2000;

    // The selected children of a view with the Selection interface, in the view's order.
    std::optional<std::vector<Accessible>> selectedChildren(const Accessible& view);
    // The cells in column `column` of the selected rows of a view with the Table interface.
    std::optional<std::vector<Accessible>> selectedRowCells(const Accessible& view, int column);
    // The programs registered on the bus (the desktop's children).
    std::optional<std::vector<Accessible>> applications();

    // Tells the bus's registry which events to pass on from `program` alone.
    void listenTo(const QString& program, const QStringList& events);

    std::uint64_t timeouts() const { return activity_.timeouts.load(); }

private:
    std::vector<std::optional<QDBusMessage>> askAll(const std::vector<QDBusMessage>& questions);
    std::vector<std::optional<QVariant>> property(const std::vector<Accessible>& objects,
                                                  const char* interface, const char* name);
    std::vector<std::optional<QVariant>> call(const std::vector<Accessible>& objects, const char* interface,
                                              const char* method, const QVariantList& arguments = {});

    QDBusConnection connection_;
    int timeoutMs_;
    BusActivity& activity_;
};

}  // namespace quillory::selection
