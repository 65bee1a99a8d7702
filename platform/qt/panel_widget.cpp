#include "platform/qt/panel_widget.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

namespace quillory::qt {

PanelWidget::PanelWidget(PanelWidgetClient& client)
    : QWidget(nullptr,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint),
      client_(client) {
    // Before the native window exists: an ARGB visual, so that the outline can be translucent.
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    // A tool window hides with its application on some platforms; the panel must stay while the
    // user selects files in the file manager.
    setAttribute(Qt::WA_MacAlwaysShowToolWindow);
    setAcceptDrops(true);
    setWindowTitle(QStringLiteral("Quillory"));
}

std::vector<std::string> PanelWidget::droppedFiles(const QMimeData* data) {
    std::vector<std::string> urls;
    if (data == nullptr) return urls;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) urls.push_back(url.toString(QUrl::FullyEncoded).toStdString());
    }
    return urls;
}

void PanelWidget::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    client_.paintContent(painter);
}

void PanelWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) client_.activationChanged(isActiveWindow());
    QWidget::changeEvent(event);
}

void PanelWidget::closeEvent(QCloseEvent* event) {
    client_.closing();
    event->accept();
}

void PanelWidget::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void PanelWidget::dropEvent(QDropEvent* event) {
    std::vector<std::string> urls = droppedFiles(event->mimeData());
    if (urls.empty()) return;
    event->acceptProposedAction();
    client_.filesDropped(std::move(urls));
}

}  // namespace quillory::qt
