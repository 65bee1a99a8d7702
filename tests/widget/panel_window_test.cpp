// The panel window on Qt, offscreen: its translucent painting and, without a compositor, its
// outline mask; closing; the preview's double click and drag.
#include <QApplication>
#include <QMimeData>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include "panel/background_view.h"
#include "platform/qt/panel_controls.h"
#include "platform/qt/qt_window.h"

namespace quillory::qt {
namespace {

struct Closes final : platform::WindowDelegate {
    void windowDidResize() override {}
    void windowDidResignKey() override {}
    void windowWillClose() override { ++count; }
    int count = 0;
};

// White at 0.9 inside, an opaque border, nothing outside the outline; the arrow's tip at x 140.
TEST(PanelWindow, translucentBodyOpaqueBorderAndWithoutCompositorCutToItsOutline) {
    const std::tuple<int, int, int> pixels[] = {
        // x, y (down), alpha
        {140, 200, 230}, {140, 6, 230}, {0, 200, 255}, {279, 200, 255}, {140, 399, 255}, {60, 8, 255},
        {60, 3, 0},      {0, 8, 0},     {0, 399, 0},   {279, 399, 0},   {279, 8, 0}};
    for (const bool compositing : {true, false}) {
        QtWindowServer server({[compositing] { return compositing; }, {}});
        const std::unique_ptr<platform::Window> window = server.createPanel({100, 100, 280, 400}, true);
        QWidget& widget = static_cast<QtWindow&>(*window).widget();
        BackgroundView background(platform::Rect{0, 0, 280, 400});
        Closes closes;
        window->setDelegate(&closes);
        window->setOpaque(false);  // as the panel controller sets it up
        window->setBackgroundColor(platform::Color::clear());
        window->setContentView(&background);
        background.setArrowX(140);
        window->makeKeyAndOrderFront();
        QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        for (const auto& [x, y, alpha] : pixels) {
            EXPECT_NEAR(image.pixelColor(x, y).alpha(), alpha, 1) << x << "," << y;
            EXPECT_EQ(image.pixelColor(x, y).red(), alpha > 0 ? 255 : 0) << x << "," << y;
            EXPECT_EQ(widget.mask().contains(QPoint(x, y)), !compositing && alpha > 0) << x << "," << y;
        }
        background.setArrowX(60);  // the mask follows the arrow and the size
        window->setFrame({100, 100, 200, 300}, true);
        EXPECT_EQ(widget.mask().contains(QPoint(60, 3)), !compositing);
        EXPECT_EQ(widget.mask().boundingRect(), compositing ? QRect() : QRect(0, 0, 200, 300));
        widget.close();  // as the window manager's close button does
        EXPECT_EQ(closes.count, 1);
        window->setDelegate(nullptr);
    }
}

// A double click opens the shown photo; a drag offers it to file managers, as a copy only.
TEST(PanelPreview, doubleClickOpensTheShownPhotoAndDragCopiesIt) {
    for (const char* url : {"file:///home/me/Caf%C3%A9%20%231.JPG", static_cast<const char*>(nullptr)}) {
        QWidget parent;
        std::vector<QUrl> opened;
        std::unique_ptr<QMimeData> dragged;
        Qt::DropActions allowed;
        int drags = 0;
        QtImageView view(parent, QRect(0, 0, 240, 160),
                         {[&](const QUrl& file) { opened.push_back(file); },
                          [&](QWidget&, QMimeData* data, const QPixmap&, Qt::DropActions actions) {
                              dragged.reset(data), allowed = actions, ++drags;
                          }});
        const auto mouse = [&](QEvent::Type type, int x, Qt::MouseButtons buttons) {
            const QPointF at(x, 50);
            QMouseEvent event(type, at, view.widget()->mapToGlobal(at),
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, {});
            QCoreApplication::sendEvent(view.widget(), &event);
        };
        view.setRepresentedFile("/home/me/earlier.jpg");
        view.setRepresentedFile(url ? "/home/me/Caf\xc3\xa9 #1.JPG" : "");  // "": the no-file message
        mouse(QEvent::MouseButtonDblClick, 50, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, 50, {});
        for (int dx : {QApplication::startDragDistance() - 1, QApplication::startDragDistance() + 5}) {
            mouse(QEvent::MouseButtonPress, 50, Qt::LeftButton);  // a shaky click is no drag
            mouse(QEvent::MouseMove, 50 + dx, Qt::LeftButton);
            mouse(QEvent::MouseButtonRelease, 50 + dx, {});
        }
        EXPECT_EQ(opened, url ? std::vector<QUrl>{QUrl(url)} : std::vector<QUrl>{});
        ASSERT_EQ(drags, url ? 1 : 0);
        if (!url) continue;
        EXPECT_EQ(allowed, Qt::DropActions(Qt::CopyAction));
        EXPECT_EQ(dragged->data("text/uri-list").trimmed(), QByteArray(url));
        EXPECT_EQ(dragged->data("x-special/gnome-copied-files"), QByteArray("copy\n") + url);
    }
}

}  // namespace
}  // namespace quillory::qt
