#include "platform/selection/file_manager_selection.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDir>
#include <QStandardPaths>
#include <QTimer>

#include <iostream>
#include <map>
#include <memory>
#include <set>

#include "platform/selection/accessibility_bus.h"
#include "platform/selection/file_manager_views.h"

namespace quillory::selection {
namespace {

// The events of one change arrive within a few milliseconds of each other: read once after them.
constexpr std::chrono::milliseconds kSettle{20};
// Enough for any window's depth; a bound against a parent chain that loops.
constexpr int kMostAncestors = 96;

const QString kConnectionName = QStringLiteral("quillory-accessibility");
const QString kObjectEvents = QStringLiteral("org.a11y.atspi.Event.Object");
const QString kWindowEvents = QStringLiteral("org.a11y.atspi.Event.Window");
const QString kRegistry = QStringLiteral("org.a11y.atspi.Registry");
const QString kRoot = QStringLiteral("/org/a11y/atspi/accessible/root");

bool isWindow(std::uint32_t r) {
    return r == role::frame || r == role::window || r == role::dialog;
}

bool isItem(std::uint32_t r) {
    return r == role::tableCell || r == role::listItem || r == role::icon || r == role::tableRow ||
           r == role::treeItem;
}

// Where a breadcrumb may start: the places a file manager names without their path.
WindowReader::Places places() {
    WindowReader::Places places{QDir::homePath().toStdString(), {QDir::homePath().toStdString(), "/"}};
    for (auto location : {QStandardPaths::DesktopLocation, QStandardPaths::DocumentsLocation,
                          QStandardPaths::DownloadLocation, QStandardPaths::MusicLocation,
                          QStandardPaths::PicturesLocation, QStandardPaths::MoviesLocation})
        for (const QString& folder : QStandardPaths::standardLocations(location))
            places.bases.push_back(folder.toStdString());
    return places;
}

}  // namespace

class FileManagerSelection::Reader final : public QObject {
    Q_OBJECT

public:
    using Report = std::function<void(std::vector<std::string>)>;

    Reader(std::chrono::milliseconds timeout, BusActivity& activity, Tally& tally, Report report)
        : timeout_(timeout), activity_(activity), counters_(tally), report_(std::move(report)) {
        settle_.setSingleShot(true);
        settle_.setInterval(kSettle);
        connect(&settle_, &QTimer::timeout, this, &Reader::settle);
    }

    ~Reader() override {
        windows_.reset();
        bus_.reset();
        if (connected_) QDBusConnection::disconnectFromBus(kConnectionName);
    }

    // Finds the bus and the file managers on it; without a bus, waits for one to appear.
    void begin() {
        std::string why;
        const std::optional<QString> address = accessibilityBusAddress(timeout_, &why);
        if (!address) return waitForBus(why);
        QDBusConnection connection = QDBusConnection::connectToBus(*address, kConnectionName);
        if (!connection.isConnected()) {
            QDBusConnection::disconnectFromBus(kConnectionName);  // so that a later try connects anew
            return waitForBus("the accessibility bus does not answer");
        }
        connected_ = true;
        bus_ = std::make_unique<AccessibilityBus>(connection, timeout_, activity_);
        windows_ = std::make_unique<WindowReader>(*bus_, places());
        exits_ =
            new QDBusServiceWatcher(QString(), connection, QDBusServiceWatcher::WatchForUnregistration, this);
        connect(exits_, &QDBusServiceWatcher::serviceUnregistered, this, &Reader::forget);
        connection.connect(kRegistry, kRoot, kObjectEvents, QStringLiteral("ChildrenChanged"), this,
                           SLOT(applicationsChanged(QDBusMessage)));
        if (const auto applications = bus_->applications())
            for (const Accessible& application : *applications) follow(application);
    }

public Q_SLOTS:
    void objectEvent(const QDBusMessage& message) {
        const QString member = message.member();
        const QVariantList arguments = message.arguments();
        const Accessible source{message.service(), message.path()};
        if (member == QLatin1String("SelectionChanged") ||
            member == QLatin1String("ActiveDescendantChanged")) {
            note(source.service, [&](Hint& hint) { hint.view = source; });
        } else if (member == QLatin1String("StateChanged") && arguments.value(1).toInt() == 1) {
            note(source.service, [&](Hint& hint) { hint.focused = source; });
        } else if (member == QLatin1String("PropertyChange") && showsSelection(source)) {
            note(source.service, [&](Hint& hint) { hint.other = source; });
        }
    }

    void windowEvent(const QDBusMessage& message) {
        const Accessible source{message.service(), message.path()};
        note(source.service, [&](Hint& hint) { hint.frame = source; });
    }

    void applicationsChanged(const QDBusMessage& message) {
        const QVariantList arguments = message.arguments();
        if (arguments.value(0).toString() != QLatin1String("add") || !bus_) return;
        if (const std::optional<Accessible> added =
                reference(arguments.value(3).value<QDBusVariant>().variant()))
            follow(*added);
    }

private:
    struct Program {
        FileManager kind;
        Accessible lastFrame;
    };
    // What the events since the last read say about where the user works.
    struct Hint {
        Accessible view;     // a view whose selection changed
        Accessible frame;    // a window that became active
        Accessible focused;  // what took the focus
        Accessible other;    // a status bar that changed
    };

    void waitForBus(const std::string& why) {
        if (!saidWhy_)
            std::cerr << "quillory: not following the file manager's selection: " << why << std::endl;
        saidWhy_ = true;
        if (launcherWatch_ != nullptr) return;
        launcherWatch_ =
            new QDBusServiceWatcher(QStringLiteral("org.a11y.Bus"), QDBusConnection::sessionBus(),
                                    QDBusServiceWatcher::WatchForRegistration, this);
        connect(launcherWatch_, &QDBusServiceWatcher::serviceRegistered, this, [this] {
            launcherWatch_->deleteLater();
            launcherWatch_ = nullptr;
            if (!bus_) begin();
        });
    }

    // Asks a program its name; a file manager is then listened to, and only it.
    void follow(const Accessible& application) {
        const QString& service = application.service;
        if (service.isEmpty() || programs_.count(service) != 0 || others_.count(service) != 0) return;
        const std::optional<QString> name = bus_->names({{service, kRoot}}).at(0);
        if (!name) return;
        const std::optional<FileManager> kind = fileManagerNamed(*name);
        if (!kind) {
            others_.insert(service);
            return;
        }
        programs_[service] = Program{*kind, {}};
        exits_->addWatchedService(service);
        // Ready to hear the events before the registry is asked to pass them on.
        QDBusConnection connection = bus_->connection();
        for (const char* member : {"SelectionChanged", "ActiveDescendantChanged"})
            connection.connect(service, QString(), kObjectEvents, QLatin1String(member), this,
                               SLOT(objectEvent(QDBusMessage)));
        connection.connect(service, QString(), kObjectEvents, QStringLiteral("StateChanged"),
                           {QStringLiteral("focused")}, QString(), this, SLOT(objectEvent(QDBusMessage)));
        if (eventsToListenTo(*kind).contains(QStringLiteral("object:property-change:accessible-name")))
            connection.connect(service, QString(), kObjectEvents, QStringLiteral("PropertyChange"),
                               {QStringLiteral("accessible-name")}, QString(), this,
                               SLOT(objectEvent(QDBusMessage)));
        connection.connect(service, QString(), kWindowEvents, QStringLiteral("Activate"), this,
                           SLOT(windowEvent(QDBusMessage)));
        bus_->listenTo(service, eventsToListenTo(*kind));
    }

    void forget(const QString& service) {
        programs_.erase(service);
        others_.erase(service);
        exits_->removeWatchedService(service);
        std::erase_if(frames_, [&](const auto& entry) { return entry.first.service == service; });
        std::erase_if(parts_, [&](const auto& entry) { return entry.first.service == service; });
        std::erase_if(labels_, [&](const auto& entry) { return entry.first.service == service; });
    }

    // Of the names that change, only a status bar's follows the selection (menus retitle too).
    bool showsSelection(const Accessible& source) {
        if (programs_.count(source.service) == 0) return false;
        auto known = labels_.find(source);
        if (known == labels_.end()) {
            const std::optional<std::uint32_t> r = bus_->roles({source}).at(0);
            known = labels_.emplace(source, r == role::statusBar || r == role::label).first;
        }
        return known->second;
    }

    template <class F>
    void note(const QString& service, F change) {
        if (programs_.count(service) == 0) return;
        ++counters_.events;
        // Only the program the user works in now counts.
        if (service != pendingProgram_) pending_ = Hint{};
        pendingProgram_ = service;
        change(pending_);
        if (!settle_.isActive()) settle_.start();
    }

    void settle() {
        const Hint hint = std::exchange(pending_, Hint{});
        const auto program = programs_.find(pendingProgram_);
        if (program == programs_.end()) return;
        Accessible view = hint.view;
        if (view.isNull() && !hint.focused.isNull()) {
            // A focused item belongs to the view it sits in (Dolphin's cells send no other event).
            const std::optional<std::uint32_t> focusedRole = bus_->roles({hint.focused}).at(0);
            if (focusedRole && isItem(*focusedRole))
                view = bus_->parents({hint.focused}).at(0).value_or(Accessible{});
        }
        Accessible frame = !view.isNull() ? frameOf(view) : hint.frame;
        if (frame.isNull() && !hint.focused.isNull()) frame = frameOf(hint.focused);
        if (frame.isNull() && !hint.other.isNull()) frame = frameOf(hint.other);
        // Nemo's icon view has no way up to its window: the program's active window holds it.
        if (frame.isNull()) frame = activeFrame(pendingProgram_);
        if (frame.isNull()) frame = program->second.lastFrame;
        if (frame.isNull()) return;
        program->second.lastFrame = frame;
        WindowParts& parts = parts_[frame];
        if (!view.isNull()) parts.view = view;
        if (!hint.focused.isNull()) parts.focused = hint.focused;
        ++counters_.reads;
        std::optional<std::vector<std::string>> urls = windows_->read(program->second.kind, frame, parts);
        if (!urls || urls->empty() || (*urls == reported_ && frame == reportedFrame_)) return;
        reported_ = *urls;
        reportedFrame_ = frame;
        ++counters_.reported;
        report_(std::move(*urls));
    }

    // The program's window that is active now; null when none is.
    Accessible activeFrame(const QString& service) {
        const std::optional<std::vector<Accessible>> windows = bus_->children({{service, kRoot}}).at(0);
        if (!windows) return {};
        const auto states = bus_->states(*windows);
        for (std::size_t i = 0; i < windows->size(); ++i)
            if (states[i] && (*states[i] & state::active)) return (*windows)[i];
        return {};
    }

    // The window `object` is in, remembered for the object and everything on the way up.
    Accessible frameOf(const Accessible& object) {
        std::vector<Accessible> path;
        Accessible at = object;
        Accessible frame;
        for (int step = 0; step < kMostAncestors && !at.isNull(); ++step) {
            if (const auto known = frames_.find(at); known != frames_.end()) {
                frame = known->second;
                break;
            }
            const std::optional<std::uint32_t> r = bus_->roles({at}).at(0);
            if (!r || *r == role::application) break;
            path.push_back(at);
            if (isWindow(*r)) {
                frame = at;
                break;
            }
            at = bus_->parents({at}).at(0).value_or(Accessible{});
        }
        if (!frame.isNull())
            for (const Accessible& below : path) frames_[below] = frame;
        return frame;
    }

    std::chrono::milliseconds timeout_;
    BusActivity& activity_;
    Tally& counters_;
    Report report_;
    bool connected_ = false;
    bool saidWhy_ = false;
    std::unique_ptr<AccessibilityBus> bus_;
    std::unique_ptr<WindowReader> windows_;
    QDBusServiceWatcher* exits_ = nullptr;
    QDBusServiceWatcher* launcherWatch_ = nullptr;
    std::map<QString, Program> programs_;
    std::set<QString> others_;
    std::map<Accessible, Accessible> frames_;
    std::map<Accessible, WindowParts> parts_;
    std::map<Accessible, bool> labels_;  // whether a retitled object shows the selection
    QString pendingProgram_;
    Hint pending_;
    QTimer settle_{this};  // a child, so that it moves to the reader's thread with it
    std::vector<std::string> reported_;
    Accessible reportedFrame_;
};

FileManagerSelection::FileManagerSelection(OnFiles onFiles, std::chrono::milliseconds replyTimeout)
    : onFiles_(std::move(onFiles)), timeout_(replyTimeout) {
    thread_.setObjectName(QStringLiteral("quillory-file-manager"));
}

FileManagerSelection::~FileManagerSelection() {
    thread_.quit();
    thread_.wait();
}

void FileManagerSelection::start() {
    if (reader_ != nullptr) return;
    reader_ = new Reader(timeout_, activity_, tally_, [this](std::vector<std::string> urls) {
        QMetaObject::invokeMethod(
            this, [this, urls = std::move(urls)]() mutable { onFiles_(std::move(urls)); },
            Qt::QueuedConnection);
    });
    reader_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, reader_, &QObject::deleteLater);
    thread_.start();
    QMetaObject::invokeMethod(reader_, &Reader::begin, Qt::QueuedConnection);
}

bool FileManagerSelection::busy() const {
    return activity_.waiting.load();
}

FileManagerCounters FileManagerSelection::counters() const {
    return {tally_.events.load(), tally_.reads.load(), tally_.reported.load(), activity_.questions.load(),
            activity_.timeouts.load()};
}

}  // namespace quillory::selection

#include "file_manager_selection.moc"
