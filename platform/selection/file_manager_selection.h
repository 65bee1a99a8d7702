#pragma once

#include <QObject>
#include <QThread>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/selection/accessibility_bus.h"

namespace quillory::selection {

// What the file-manager reader did so far.
struct FileManagerCounters {
    std::uint64_t events = 0;     // events of file managers received
    std::uint64_t reads = 0;      // selections read after such events
    std::uint64_t reported = 0;   // selections reported, being new
    std::uint64_t questions = 0;  // questions asked of programs on the bus
    std::uint64_t timeouts = 0;   // answers that never came
};

// The selection of the file manager window the user last worked in, followed over the
// accessibility bus (where Nautilus, Nemo, Caja, Thunar, Dolphin and PCManFM publish their views)
// on a thread of its own, so that no program, however slow or stopped, holds up the caller. It is
// event-driven: nothing is asked while nothing changes. Only file managers are listened to, and
// of them only the selected items' names and the folder shown are read. Each new selection is
// reported as file: URLs, in the view's order, on the thread the object lives on; a selection
// whose items match no file is not reported.
class FileManagerSelection final : public QObject {
public:
    using OnFiles = std::function<void(std::vector<std::string>)>;
    // How long one question to a program may go unanswered.
    static constexpr std::chrono::milliseconds kReplyTimeout{1500};

    explicit FileManagerSelection(OnFiles onFiles, std::chrono::milliseconds replyTimeout = kReplyTimeout);
    // Waits for the reader's thread only as long as a question it is waiting on may take.
    ~FileManagerSelection() override;
    FileManagerSelection(const FileManagerSelection&) = delete;
    FileManagerSelection& operator=(const FileManagerSelection&) = delete;

    // Starts following; when the session has no accessibility bus, says so once on stderr and
    // starts once the bus appears.
    void start();
    // True while the reader waits on a program's answer.
    bool busy() const;
    FileManagerCounters counters() const;

private:
    class Reader;
    struct Tally {
        std::atomic<std::uint64_t> events{0}, reads{0}, reported{0};
    };

    OnFiles onFiles_;
    std::chrono::milliseconds timeout_;
    BusActivity activity_;
    Tally tally_;
    QThread thread_;
    Reader* reader_ = nullptr;  // lives on thread_, deleted there when it ends
};

}  // namespace quillory::selection
