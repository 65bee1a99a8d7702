#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillory::selection {

// What a clipboard reader did so far.
struct ClipboardCounters {
    std::uint64_t reads = 0;     // clipboard contents looked at, whatever came of it
    std::uint64_t asked = 0;     // requests sent to owners: targets, then each format fetched
    std::uint64_t timeouts = 0;  // owners that did not answer in time
    std::uint64_t refused = 0;   // formats over their size bound
};

// Reads the file lists put on the X clipboard, on its own thread over its own connection, so
// that no clipboard owner (a stopped, hung or slow one) can hold up the caller. XFixes tells of
// every new owner; each is asked for its targets once, then for the one file-list format needed.
// A change while a read waits abandons that read: the latest owner wins.
class X11ClipboardReader {
public:
    // Called on the reader's thread.
    using OnFiles = std::function<void(std::vector<std::string>)>;

    X11ClipboardReader(std::chrono::milliseconds replyTimeout, OnFiles onFiles);
    // Ends the thread at once, even while it waits on an owner.
    ~X11ClipboardReader();
    X11ClipboardReader(const X11ClipboardReader&) = delete;
    X11ClipboardReader& operator=(const X11ClipboardReader&) = delete;

    // Connects to `display` (DISPLAY when empty) and follows the clipboard from now on. False,
    // with the reason, when there is no display or it lacks XFixes.
    bool start(const std::string& display, std::string* why);
    // Reads what the clipboard holds now; returns at once.
    void readNow();
    ClipboardCounters counters() const;

private:
    struct Reader;
    std::unique_ptr<Reader> reader_;
};

}  // namespace quillory::selection
