#include "platform/qt/clipboard_watch.h"

#include <QClipboard>
#include <QMimeData>

#include "platform/qt/clipboard_formats.h"

namespace quillory::qt {

std::vector<std::string> filesOnClipboard(const QMimeData* data) {
    if (data == nullptr) return {};
    ClipboardFormats formats;
    for (std::string_view format : clipboardFormatsRead()) {
        const QString name = QString::fromLatin1(format.data(), static_cast<qsizetype>(format.size()));
        if (!data->hasFormat(name)) continue;
        const QByteArray bytes = data->data(name);
        formats.emplace(std::string(format), bytes.toStdString());
    }
    std::optional<std::vector<std::string>> files = copiedFiles(formats);
    return files ? std::move(*files) : std::vector<std::string>{};
}

ClipboardWatch::ClipboardWatch(QClipboard& clipboard, std::function<void(std::vector<std::string>)> onFiles)
    : clipboard_(clipboard), onFiles_(std::move(onFiles)) {
    connect(&clipboard_, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard) readNow();
    });
}

void ClipboardWatch::readNow() {
    std::vector<std::string> files = filesOnClipboard(clipboard_.mimeData(QClipboard::Clipboard));
    if (!files.empty()) onFiles_(std::move(files));
}

}  // namespace quillory::qt
