#pragma once

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/selection/x11_clipboard.h"

class QClipboard;
class QMimeData;

namespace quillory::selection {

// The file list a file manager's Copy or Cut put on the clipboard, as URL strings; empty when
// the clipboard holds none. Asks `data` for its formats once, then fetches only what it needs.
std::vector<std::string> filesOnClipboard(const QMimeData* data);

// Follows the clipboard and reports every file list put on it, on the thread the watch lives
// on. Changes that carry no file list (text, an emptied clipboard) are not reported. On X11 the
// clipboard is read on a thread of its own, so that an owner that does not answer holds up
// nothing; elsewhere through `clipboard`.
class ClipboardWatch final : public QObject {
public:
    using OnFiles = std::function<void(std::vector<std::string>)>;
    // How long the X11 reader waits for one answer of the clipboard's owner.
    static constexpr std::chrono::milliseconds kReplyTimeout{3000};

    ClipboardWatch(QClipboard& clipboard, OnFiles onFiles,
                   std::chrono::milliseconds replyTimeout = kReplyTimeout);
    ~ClipboardWatch() override;

    // Reports what the clipboard holds now (at start-up), later: it never waits for the clipboard.
    void readNow();
    // What the X11 reader did so far; zeros where the clipboard is read through Qt.
    ClipboardCounters counters() const;

private:
    void readThroughQt();

    QClipboard& clipboard_;
    OnFiles onFiles_;
    std::unique_ptr<X11ClipboardReader> x11_;
};

}  // namespace quillory::selection
