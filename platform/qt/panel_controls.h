#pragma once

#include <QImage>
#include <QWidget>

#include <functional>
#include <string>

#include "platform/window.h"

class QLabel;
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

// Paints one picture scaled to fit, centred, keeping its proportions.
class PictureWidget final : public QWidget {
public:
    explicit PictureWidget(QWidget& parent) : QWidget(&parent) {}
    void setImage(QImage image);
    const QImage& image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    QImage shown_;  // image_ at the size it is drawn, in device pixels
};

class QtImageView final : public platform::ImageView {
public:
    QtImageView(QWidget& parent, const QRect& geometry);

    void setHidden(bool hidden) override;
    bool isHidden() const override;
    // A picture whose pixels do not match its size shows nothing.
    void setPicture(const platform::Picture& picture) override;
    int pixelSize() const override;
    PictureWidget* widget() const { return widget_; }

private:
    PictureWidget* widget_;
    bool hidden_ = false;
};

QPushButton* addPushButton(QWidget& parent, const QRect& geometry, const std::string& title,
                           std::function<void()> action);

}  // namespace quillory::qt
