#include "platform/selection/clipboard_watch.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

#include <iostream>

#include "platform/selection/clipboard_formats.h"

namespace quillory::selection {

std::vector<std::string> filesOnClipboard(const QMimeData* data) {
    if (data == nullptr) return {};
    // On X11 every hasFormat() asks the owner again: ask once.
    const QStringList offered = data->formats();
    for (std::string_view format : clipboardFormatsRead()) {
        const QString name = QString::fromLatin1(format.data(), static_cast<qsizetype>(format.size()));
        if (!offered.contains(name)) continue;
        const QByteArray bytes = data->data(name);
        if (auto files =
                filesIn(format, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))))
            return std::move(*files);
    }
    return {};
}

ClipboardWatch::ClipboardWatch(QClipboard& clipboard, OnFiles onFiles, std::chrono::milliseconds replyTimeout)
    : clipboard_(clipboard), onFiles_(std::move(onFiles)) {
#ifdef QUILLORY_X11
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        x11_ = std::make_unique<X11ClipboardReader>(replyTimeout, [this](std::vector<std::string> files) {
            QMetaObject::invokeMethod(
                this, [this, files = std::move(files)]() mutable { onFiles_(std::move(files)); },
                Qt::QueuedConnection);
        });
        std::string why;
        if (x11_->start(qEnvironmentVariable("DISPLAY").toStdString(), &why)) return;
        std::cerr << "quillory: reading the clipboard through Qt: " << why << std::endl;
        x11_.reset();
    }
#else
    (void)replyTimeout;
#endif
    connect(&clipboard_, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard) readThroughQt();
    });
}

// The reader's thread ends before the object its deliveries are queued to.
ClipboardWatch::~ClipboardWatch() = default;

void ClipboardWatch::readNow() {
    if (x11_) return x11_->readNow();
    QTimer::singleShot(0, this, [this] { readThroughQt(); });
}

ClipboardCounters ClipboardWatch::counters() const {
    return x11_ ? x11_->counters() : ClipboardCounters{};
}

void ClipboardWatch::readThroughQt() {
    std::vector<std::string> files = filesOnClipboard(clipboard_.mimeData(QClipboard::Clipboard));
    if (!files.empty()) onFiles_(std::move(files));
}

}  // namespace quillory::selection
