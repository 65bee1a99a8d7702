#include "platform/qt/panel_controls.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QDesktopServices>
#include <QDrag>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>

namespace quillory::qt {

namespace {

// A field this high holds several lines of the summary's font.
constexpr int kMultiLineHeight = 32;
// The picture under the pointer during a drag, at most this many pixels a side.
constexpr int kDragPictureSide = 96;
// A one-line label shrinks its font within these pixel sizes until its text fits.
constexpr int kLabelLargestPx = 11;
constexpr int kLabelSmallestPx = 8;

void fitFont(QLabel& label) {
    QFont font = label.font();
    for (int px = kLabelLargestPx; px >= kLabelSmallestPx; --px) {
        font.setPixelSize(px);
        if (QFontMetrics(font).horizontalAdvance(label.text()) <= label.width()) break;
    }
    label.setFont(font);
}

constexpr const char* kPanelStyle = R"(
QLabel, QPlainTextEdit { color: #1d1d1f; background: transparent; border: none; }
QPlainTextEdit { font-size: 12px; selection-background-color: #b3d7ff; selection-color: #1d1d1f; }
QLabel#version { color: #6e6e73; }
QPushButton {
  color: #1d1d1f; background: #f2f2f4; border: 1px solid #c7c7cc; border-radius: 6px;
  font-size: 12px; padding: 2px 10px;
}
QPushButton:hover { background: #e8e8ed; }
QPushButton:pressed { background: #d8d8de; }
QPushButton:focus { border-color: #6e9bd6; }
QScrollBar:vertical { width: 6px; background: transparent; }
QScrollBar::handle:vertical { background: #c7c7cc; border-radius: 3px; min-height: 20px; }
QScrollBar::add-line, QScrollBar::sub-line { height: 0; }
)";

// What a drag of `path` carries: its file URL for file managers, mail and chat programs, and
// GNOME's copied-files form, which says "copy".
QMimeData* dragData(const QString& path) {
    auto* data = new QMimeData;
    const QUrl url = QUrl::fromLocalFile(path);
    data->setUrls({url});
    data->setData(QStringLiteral("x-special/gnome-copied-files"),
                  "copy\n" + url.toEncoded(QUrl::FullyEncoded));
    return data;
}

}  // namespace

void applyPanelLook(QWidget& panel) {
    QPalette palette = panel.palette();
    const QColor ink(0x1d, 0x1d, 0x1f);
    for (auto role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText}) {
        palette.setColor(role, ink);
    }
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Window, Qt::transparent);
    palette.setColor(QPalette::Highlight, QColor(0xb3, 0xd7, 0xff));
    palette.setColor(QPalette::PlaceholderText, QColor(0x6e, 0x6e, 0x73));
    panel.setPalette(palette);
    panel.setStyleSheet(QString::fromLatin1(kPanelStyle));
}

QtTextField::QtTextField(QWidget& parent, const QRect& geometry) {
    QWidget* shown = nullptr;
    if (geometry.height() >= kMultiLineHeight) {
        edit_ = new QPlainTextEdit(&parent);
        edit_->setReadOnly(true);
        edit_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        edit_->setFrameShape(QFrame::NoFrame);
        edit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        edit_->viewport()->setAutoFillBackground(false);
        edit_->document()->setDocumentMargin(0);
        edit_->setCursorWidth(0);  // selectable, yet no blinking caret in a text nobody edits
        // A new user's empty panel says how to choose a photo; any text set replaces it.
        edit_->setPlaceholderText(QString::fromUtf8(kEmptyPanelHint));
        shown = edit_;
    } else {
        label_ = new QLabel(&parent);
        label_->setObjectName(QStringLiteral("version"));
        label_->setTextFormat(Qt::PlainText);
        label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        shown = label_;
    }
    shown->setGeometry(geometry);
}

void QtTextField::setStringValue(const std::string& text) {
    text_ = text;
    const QString shown = QString::fromStdString(text);
    if (edit_ != nullptr) edit_->setPlainText(shown);
    if (label_ != nullptr) {
        label_->setText(shown);
        label_->setToolTip(shown);
        fitFont(*label_);
    }
}

QWidget* QtTextField::widget() const {
    return edit_ != nullptr ? static_cast<QWidget*>(edit_) : label_;
}

PreviewDesktop systemPreviewDesktop() {
    return {[](const QUrl& file) { QDesktopServices::openUrl(file); },
            [](QWidget& source, QMimeData* data, const QPixmap& picture, Qt::DropActions actions) {
                auto* drag = new QDrag(&source);
                drag->setMimeData(data);
                if (!picture.isNull()) drag->setPixmap(picture);
                drag->exec(actions, Qt::CopyAction);
            }};
}

PictureWidget::PictureWidget(QWidget& parent, PreviewDesktop desktop)
    : QWidget(&parent), desktop_(std::move(desktop)) {}

void PictureWidget::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton && !file_.isEmpty();
    pressedAt_ = event->position().toPoint();
    QWidget::mousePressEvent(event);
}

void PictureWidget::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_ || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - pressedAt_).manhattanLength() < QApplication::startDragDistance()) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    pressed_ = false;
    QPixmap picture;
    if (!image_.isNull()) {
        picture = QPixmap::fromImage(
            image_.scaled(kDragPictureSide, kDragPictureSide, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    // A copy only: the photo stays where it is, whatever the drop target would rather do.
    if (desktop_.drag) desktop_.drag(*this, dragData(file_), picture, Qt::CopyAction);
}

void PictureWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    pressed_ = false;
    if (event->button() == Qt::LeftButton && !file_.isEmpty() && desktop_.open) {
        desktop_.open(QUrl::fromLocalFile(file_));
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void PictureWidget::setImage(QImage image) {
    image_ = std::move(image);
    shown_ = {};
    update();
}

void PictureWidget::paintEvent(QPaintEvent* /*event*/) {
    if (image_.isNull()) return;
    const QSize fitted = image_.size().scaled(size(), Qt::KeepAspectRatio);
    const qreal ratio = devicePixelRatioF();
    // Scaled once per picture and screen, so that a repaint (the panel's fade, a move) only copies.
    if (shown_.isNull() || shown_.size() != fitted * ratio) {
        shown_ = image_.scaled(fitted * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGB32);
        shown_.setDevicePixelRatio(ratio);
    }
    QPainter painter(this);
    painter.drawImage(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), shown_);
}

QtImageView::QtImageView(QWidget& parent, const QRect& geometry, PreviewDesktop desktop)
    : widget_(new PictureWidget(parent, std::move(desktop))) {
    widget_->setGeometry(geometry);
}

void QtImageView::setHidden(bool hidden) {
    hidden_ = hidden;
    widget_->setHidden(hidden);
}

bool QtImageView::isHidden() const {
    return hidden_;
}

int QtImageView::pixelSize() const {
    const QSize size = widget_->size();
    return static_cast<int>(
        std::lround(std::max(size.width(), size.height()) * widget_->devicePixelRatioF()));
}

void QtImageView::setPicture(const platform::Picture& picture) {
    const auto needed =
        static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 3;
    if (picture.width <= 0 || picture.height <= 0 || !picture.rgb || picture.rgb->size() < needed) {
        widget_->setImage({});
        return;
    }
    const QImage view(picture.rgb->data(), picture.width, picture.height, picture.width * 3,
                      QImage::Format_RGB888);
    widget_->setImage(view.copy());
}

void QtImageView::setRepresentedFile(const std::string& path) {
    // File names are bytes in the locale's encoding, not necessarily UTF-8.
    widget_->setFile(QFile::decodeName(QByteArray::fromStdString(path)));
}

QPushButton* addPushButton(QWidget& parent, const QRect& geometry, const std::string& title,
                           std::function<void()> action) {
    auto* button = new QPushButton(QString::fromStdString(title), &parent);
    button->setGeometry(geometry);
    button->setCursor(Qt::PointingHandCursor);
    QObject::connect(button, &QPushButton::clicked, button, [action = std::move(action)] { action(); });
    return button;
}

}  // namespace quillory::qt
