#include "platform/selection/x11_clipboard.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <thread>

#include "platform/selection/clipboard_formats.h"

namespace quillory::selection {

namespace {

using Clock = std::chrono::steady_clock;

struct Free {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbPtr = std::unique_ptr<T, Free>;
using Event = XcbPtr<xcb_generic_event_t>;

// The targets worth asking for, in the order they are tried, and the format each one holds.
// Plain text goes by several names; only the first one offered is fetched.
struct Target {
    const char* name;
    std::string_view format;
};
constexpr Target kTargets[] = {
    {"x-special/gnome-copied-files", kGnomeCopiedFilesFormat},
    {"text/uri-list", kUriListFormat},
    {"UTF8_STRING", kPlainTextFormat},
    {"text/plain;charset=utf-8", kPlainTextFormat},
    {"text/plain", kPlainTextFormat},
};
constexpr std::size_t kTargetCount = std::size(kTargets);

enum AtomIndex : std::size_t { kClipboard, kTargetsAtom, kIncr, kProperty, kFirstTarget };
constexpr const char* kAtomNames[kFirstTarget] = {"CLIPBOARD", "TARGETS", "INCR", "QUILLORY_CLIPBOARD"};

// TARGETS is a short list of atoms; anything longer is not a real answer.
constexpr std::size_t kMaxTargetsBytes = 64 * 1024;

std::uint8_t eventType(const xcb_generic_event_t& event) {
    return event.response_type & 0x7f;
}

}  // namespace

struct X11ClipboardReader::Reader {
    enum class Waited { got, timedOut, changed, stopped };
    // `bytes`: a format fetched; `files`: a file list delivered.
    enum class Outcome { bytes, files, none, timedOut, refused, abandoned };
    struct Fetched {
        Outcome outcome;
        std::string bytes;
    };
    using Match = bool (*)(const Reader&, const xcb_generic_event_t&, xcb_atom_t);

    Reader(std::chrono::milliseconds timeout, OnFiles deliver)
        : replyTimeout(timeout), onFiles(std::move(deliver)) {}

    ~Reader() {
        if (thread.joinable()) {
            command('q');
            thread.join();
        }
        if (connection != nullptr) xcb_disconnect(connection);
        for (int fd : wake)
            if (fd >= 0) ::close(fd);
    }

    bool start(const std::string& display, std::string* why) {
        int screen = 0;
        connection = xcb_connect(display.empty() ? nullptr : display.c_str(), &screen);
        if (xcb_connection_has_error(connection) != 0) {
            *why = "cannot open the X display";
            return false;
        }
        const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
        if (xfixes == nullptr || xfixes->present == 0) {
            *why = "the X server lacks XFixes";
            return false;
        }
        xfixesEvent = xfixes->first_event;
        // XFixes answers only clients that said which version they speak.
        XcbPtr<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
            connection,
            xcb_xfixes_query_version(connection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
            nullptr));
        if (!version || version->major_version < 1) {
            *why = "the X server's XFixes cannot report selection owners";
            return false;
        }
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
        for (; screens.rem > 0 && screen > 0; --screen) xcb_screen_next(&screens);
        if (screens.rem <= 0) {
            *why = "the X display has no screen";
            return false;
        }
        root = screens.data->root;
        if (!internAtoms()) {
            *why = "the X server did not name the clipboard's atoms";
            return false;
        }
        const xcb_window_t watcher = newWindow();
        xcb_xfixes_select_selection_input(connection, watcher, atoms[kClipboard],
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        xcb_flush(connection);
        if (::pipe2(wake, O_CLOEXEC) != 0) {
            *why = std::string("no pipe: ") + std::strerror(errno);
            return false;
        }
        thread = std::thread([this] { run(); });
        return true;
    }

    void command(char what) {
        while (::write(wake[1], &what, 1) < 0 && errno == EINTR) {
        }
    }

    bool internAtoms() {
        std::vector<xcb_intern_atom_cookie_t> cookies;
        auto ask = [&](std::string_view name) {
            cookies.push_back(
                xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()));
        };
        for (const char* name : kAtomNames) ask(name);
        for (const Target& target : kTargets) ask(target.name);
        for (xcb_intern_atom_cookie_t cookie : cookies) {
            XcbPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr));
            if (!reply) return false;
            atoms.push_back(reply->atom);
        }
        return true;
    }

    xcb_window_t newWindow() {
        const xcb_window_t window = xcb_generate_id(connection);
        const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
        return window;
    }

    void run() {
        while (!stopped) {
            if (changed) {
                changed = false;
                readOnce(changedAt);
                continue;
            }
            waitFor(nullptr, 0, std::nullopt, nullptr);
        }
    }

    bool isOwnerChange(const xcb_generic_event_t& event) const {
        if (eventType(event) != xfixesEvent + XCB_XFIXES_SELECTION_NOTIFY) return false;
        const auto& notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t&>(event);
        return notify.selection == atoms[kClipboard];
    }

    // Handles events until `match` accepts one or the deadline passes. A new owner, a read asked
    // for or the end ends the wait early: what was awaited no longer matters.
    Waited waitFor(Match match, xcb_atom_t what, std::optional<Clock::time_point> deadline, Event* got) {
        for (;;) {
            while (Event event{xcb_poll_for_event(connection)}) {
                if (isOwnerChange(*event)) {
                    changed = true;
                    changedAt = reinterpret_cast<const xcb_xfixes_selection_notify_event_t&>(*event)
                                    .selection_timestamp;
                    return Waited::changed;
                }
                if (match != nullptr && match(*this, *event, what)) {
                    *got = std::move(event);
                    return Waited::got;
                }
            }
            if (xcb_connection_has_error(connection) != 0) {
                stopped = true;
                return Waited::stopped;
            }
            int ms = -1;
            if (deadline) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
                if (left.count() <= 0) return Waited::timedOut;
                ms = static_cast<int>(std::min<std::int64_t>(left.count(), 60'000));
            }
            pollfd fds[2] = {{xcb_get_file_descriptor(connection), POLLIN, 0}, {wake[0], POLLIN, 0}};
            if (::poll(fds, 2, ms) < 0 && errno != EINTR) {
                stopped = true;
                return Waited::stopped;
            }
            if ((fds[1].revents & POLLIN) != 0) {
                char order = 'q';
                if (::read(wake[0], &order, 1) != 1 || order == 'q') {
                    stopped = true;
                    return Waited::stopped;
                }
                changed = true;
                changedAt = XCB_CURRENT_TIME;
                return Waited::changed;
            }
        }
    }

    static bool isSelectionNotify(const Reader& self, const xcb_generic_event_t& event, xcb_atom_t target) {
        if (eventType(event) != XCB_SELECTION_NOTIFY) return false;
        const auto& notify = reinterpret_cast<const xcb_selection_notify_event_t&>(event);
        return notify.requestor == self.requestor && notify.selection == self.atoms[kClipboard] &&
               notify.target == target;
    }

    static bool isNewChunk(const Reader& self, const xcb_generic_event_t& event, xcb_atom_t property) {
        if (eventType(event) != XCB_PROPERTY_NOTIFY) return false;
        const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        return notify.window == self.requestor && notify.atom == property &&
               notify.state == XCB_PROPERTY_NEW_VALUE;
    }

    static Outcome outcomeOf(Waited waited) {
        return waited == Waited::timedOut ? Outcome::timedOut : Outcome::abandoned;
    }

    void readOnce(xcb_timestamp_t time) {
        // A window of its own for each read: late answers to an abandoned one go to a window gone.
        if (requestor != XCB_WINDOW_NONE) xcb_destroy_window(connection, requestor);
        requestor = newWindow();
        const Outcome outcome = readFiles(time);
        if (outcome == Outcome::abandoned) return;
        if (outcome == Outcome::timedOut) timeouts.fetch_add(1);
        if (outcome == Outcome::refused) refused.fetch_add(1);
        reads.fetch_add(1);
    }

    // Asks for the targets once, then for the formats that may hold a file list, the most
    // specific first, until one does.
    Outcome readFiles(xcb_timestamp_t time) {
        Fetched targets = convert(atoms[kTargetsAtom], time, kMaxTargetsBytes);
        if (targets.outcome != Outcome::bytes) return targets.outcome;
        std::vector<xcb_atom_t> offered(targets.bytes.size() / sizeof(xcb_atom_t));
        std::memcpy(offered.data(), targets.bytes.data(), offered.size() * sizeof(xcb_atom_t));
        std::vector<std::string_view> tried;
        for (std::size_t i = 0; i < kTargetCount; ++i) {
            const xcb_atom_t target = atoms[kFirstTarget + i];
            const std::string_view format = kTargets[i].format;
            if (std::find(offered.begin(), offered.end(), target) == offered.end() ||
                std::find(tried.begin(), tried.end(), format) != tried.end())
                continue;
            tried.push_back(format);
            Fetched data = convert(target, time, maxBytesIn(format));
            if (data.outcome == Outcome::none) continue;
            if (data.outcome != Outcome::bytes) return data.outcome;
            if (std::optional<std::vector<std::string>> files = filesIn(format, data.bytes)) {
                data.bytes = {};
                onFiles(std::move(*files));
                return Outcome::files;
            }
        }
        return Outcome::none;
    }

    // The owner's answer for `target`.
    Fetched convert(xcb_atom_t target, xcb_timestamp_t time, std::size_t limit) {
        xcb_convert_selection(connection, requestor, atoms[kClipboard], target, atoms[kProperty], time);
        xcb_flush(connection);
        asked.fetch_add(1);
        Event event;
        const Waited waited = waitFor(&isSelectionNotify, target, Clock::now() + replyTimeout, &event);
        if (waited != Waited::got) return {outcomeOf(waited), {}};
        if (reinterpret_cast<const xcb_selection_notify_event_t&>(*event).property == XCB_ATOM_NONE)
            return {Outcome::none, {}};
        return readProperty(limit);
    }

    // Takes the property, deleting it; more than `limit` bytes is refused. Asking for one word
    // beyond the limit tells a property that is too long (the server then keeps it).
    XcbPtr<xcb_get_property_reply_t> takeProperty(std::size_t limit) {
        const auto words = static_cast<std::uint32_t>(std::min<std::size_t>(limit / 4 + 1, UINT32_MAX / 4));
        return XcbPtr<xcb_get_property_reply_t>(xcb_get_property_reply(
            connection,
            xcb_get_property(connection, 1, requestor, atoms[kProperty], XCB_GET_PROPERTY_TYPE_ANY, 0, words),
            nullptr));
    }

    static std::string_view valueOf(xcb_get_property_reply_t* reply) {
        return {static_cast<const char*>(xcb_get_property_value(reply)),
                static_cast<std::size_t>(xcb_get_property_value_length(reply))};
    }

    Fetched readProperty(std::size_t limit) {
        XcbPtr<xcb_get_property_reply_t> reply = takeProperty(limit);
        if (!reply) return {Outcome::none, {}};
        if (reply->bytes_after > 0) return {Outcome::refused, {}};
        const std::string_view value = valueOf(reply.get());
        if (reply->type != atoms[kIncr]) return {Outcome::bytes, std::string(value)};
        // An incremental transfer: its value is a lower bound of the size, and deleting it (done
        // above) asks for the first chunk; an empty chunk ends it.
        std::uint32_t atLeast = 0;
        if (value.size() >= sizeof atLeast) std::memcpy(&atLeast, value.data(), sizeof atLeast);
        if (atLeast > limit) return {Outcome::refused, {}};
        std::string bytes;
        for (;;) {
            Event event;
            const Waited waited = waitFor(&isNewChunk, atoms[kProperty], Clock::now() + replyTimeout, &event);
            if (waited != Waited::got) return {outcomeOf(waited), {}};
            XcbPtr<xcb_get_property_reply_t> chunk = takeProperty(limit - bytes.size());
            if (!chunk) return {Outcome::none, {}};
            if (chunk->bytes_after > 0) return {Outcome::refused, {}};
            const std::string_view part = valueOf(chunk.get());
            if (part.empty()) return {Outcome::bytes, std::move(bytes)};
            if (part.size() > limit - bytes.size()) return {Outcome::refused, {}};
            bytes.append(part);
        }
    }

    const std::chrono::milliseconds replyTimeout;
    const OnFiles onFiles;
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    std::uint8_t xfixesEvent = 0;
    std::vector<xcb_atom_t> atoms;
    int wake[2] = {-1, -1};
    std::thread thread;
    std::atomic<std::uint64_t> reads{0};
    std::atomic<std::uint64_t> asked{0};
    std::atomic<std::uint64_t> timeouts{0};
    std::atomic<std::uint64_t> refused{0};

    // The reader thread's own.
    xcb_window_t requestor = XCB_WINDOW_NONE;
    bool changed = false;
    xcb_timestamp_t changedAt = XCB_CURRENT_TIME;
    bool stopped = false;
};

X11ClipboardReader::X11ClipboardReader(std::chrono::milliseconds replyTimeout, OnFiles onFiles)
    : reader_(std::make_unique<Reader>(replyTimeout, std::move(onFiles))) {}

X11ClipboardReader::~X11ClipboardReader() = default;

bool X11ClipboardReader::start(const std::string& display, std::string* why) {
    std::string ignored;
    return reader_->start(display, why != nullptr ? why : &ignored);
}

void X11ClipboardReader::readNow() {
    if (reader_->thread.joinable()) reader_->command('r');
}

ClipboardCounters X11ClipboardReader::counters() const {
    return {reader_->reads.load(), reader_->asked.load(), reader_->timeouts.load(), reader_->refused.load()};
}

}  // namespace quillory::selection
