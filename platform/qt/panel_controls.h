#pragma once

#include <QImage>
#include <QPoint>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <string>

#include "platform/window.h"

class QLabel;
class QMimeData;
class QPixmap;
class QPlainTextEdit;
class QPushButton;

namespace quillory::qt {

// The panel's own light look: its body is always white (translucent), so its text stays dark
// and its buttons light whatever the desktop's theme.
void applyPanelLook(QWidget& panel);

// A text the user can select and copy. A field tall enough for several lines wraps (inside long
// paths too) and scrolls; a one-line field is a small grey label.
class QtTextField final : public platform::TextField {
public:
    QtTextField(QWidget& parent, const QRect& geometry);

    void setStringValue(const std::string& text) override;
    std::string stringValue() const override { return text_; }
    QWidget* widget() const;

private:
    std::string text_;
    QLabel* label_ = nullptr;
    QPlainTextEdit* edit_ = nullptr;
};

// What the preview hands to the desktop; tests replace it to see what would happen.
struct PreviewDesktop {
    // Opens a file in the desktop's default application for it (xdg-open).
    std::function<void(const QUrl& file)> open;
    // Runs a drag of `data` (taking it over) from `source`, offering only `actions`.
    std::function<void(QWidget& source, QMimeData* data, const QPixmap& picture, Qt::DropActions actions)>
        drag;
};

// The desktop itself: QDesktopServices and QDrag.
PreviewDesktop systemPreviewDesktop();

// The hint the summary area shows until the first text is set.
inline constexpr const char* kEmptyPanelHint =
    "Select photos in your file manager (or copy them with Ctrl+C), choose Open With > Quillory, "
    "or drop them here.";

// Paints one picture scaled to fit, centred, keeping its proportions. When it represents a file,
// a double click opens that file and a drag carries it, as a copy.
class PictureWidget final : public QWidget {
public:
    explicit PictureWidget(QWidget& parent, PreviewDesktop desktop = systemPreviewDesktop());
    void setImage(QImage image);
    const QImage& image() const { return image_; }
    // Empty for none.
    void setFile(QString path) { file_ = std::move(path); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    PreviewDesktop desktop_;
    QImage image_;
    QImage shown_;  // image_ at the size it is drawn, in device pixels
    QString file_;
    QPoint pressedAt_;
    bool pressed_ = false;
};

class QtImageView final : public platform::ImageView {
public:
    QtImageView(QWidget& parent, const QRect& geometry, PreviewDesktop desktop = systemPreviewDesktop());

    void setHidden(bool hidden) override;
    bool isHidden() const override;
    // A picture whose pixels do not match its size shows nothing.
    void setPicture(const platform::Picture& picture) override;
    int pixelSize() const override;
    void setRepresentedFile(const std::string& path) override;
    PictureWidget* widget() const { return widget_; }

private:
    PictureWidget* widget_;
    bool hidden_ = false;
};

QPushButton* addPushButton(QWidget& parent, const QRect& geometry, const std::string& title,
                           std::function<void()> action);

}  // namespace quillory::qt
