#pragma once

#include <QObject>

#include <functional>
#include <string>
#include <vector>

class QClipboard;
class QMimeData;

namespace quillory::qt {

// The file list a file manager's Copy or Cut put on the clipboard, as URL strings; empty when
// the clipboard holds none.
std::vector<std::string> filesOnClipboard(const QMimeData* data);

// Follows the clipboard through its change signal and reports every file list put on it.
// Changes that carry no file list (text, an emptied clipboard) are not reported.
class ClipboardWatch final : public QObject {
public:
    ClipboardWatch(QClipboard& clipboard, std::function<void(std::vector<std::string>)> onFiles);

    // Reports what the clipboard holds now (at start-up).
    void readNow();

private:
    QClipboard& clipboard_;
    std::function<void(std::vector<std::string>)> onFiles_;
};

}  // namespace quillory::qt
