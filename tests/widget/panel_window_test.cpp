// The panel window on Qt, offscreen: the painted background region by region, the outline mask
// without a compositing manager, frames in both coordinate systems, animation steps, drops.
#include <QApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QUrl>

#include <memory>

#include <gtest/gtest.h>

#include "panel/background_view.h"
#include "platform/qt/panel_controls.h"
#include "platform/qt/qt_animation.h"
#include "platform/qt/qt_window.h"
#include "widget_support.h"

namespace quillory::qt {
namespace {

using platform::Rect;
using testing::eventually;
using testing::pixelAt;

constexpr Rect kPanelFrame{100, 100, 280, 400};

struct Panel {
    explicit Panel(bool compositing)
        : server({[compositing] { return compositing; },
                  [this](std::vector<std::string> u) { dropped = std::move(u); }}),
          window(server.createPanel(kPanelFrame, true)),
          qt(static_cast<QtWindow&>(*window)) {
        window->setDelegate(&delegate);
        // As the panel controller sets its window up: everything visible is the content's.
        window->setOpaque(false);
        window->setBackgroundColor(platform::Color::clear());
        window->setContentView(&background);
        background.setArrowX(140);
    }
    ~Panel() { window->setDelegate(nullptr); }

    QImage paint() const {
        QImage image(qt.widget().size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        qt.widget().render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

    BackgroundView background{Rect{0, 0, 280, 400}};
    testing::RecordingWindowDelegate delegate;
    std::vector<std::string> dropped;
    QtWindowServer server;
    std::unique_ptr<platform::Window> window;
    QtWindow& qt;
};

enum class Paint { transparent, body, border };

struct Region {
    const char* name;
    int x;  // Qt's pixel coordinates: y grows downward
    int y;
    Paint paint;
};

// 280 x 400, arrow tip at x 140 on the top edge; the body's top edge lies 9 px below the top.
const Region kRegions[] = {
    {"body centre", 140, 200, Paint::body},
    {"inside the arrow", 140, 6, Paint::body},
    {"left border", 0, 200, Paint::border},
    {"right border", 279, 200, Paint::border},
    {"bottom border", 140, 399, Paint::border},
    {"border above the body beside the arrow", 60, 8, Paint::border},
    {"above the body beside the arrow", 60, 3, Paint::transparent},
    {"top-left corner", 0, 8, Paint::transparent},
    {"bottom-left corner", 0, 399, Paint::transparent},
    {"bottom-right corner", 279, 399, Paint::transparent},
    {"top-right corner", 279, 8, Paint::transparent},
};

TEST(PanelPainting, translucentBodyOpaqueBorderTransparentOutside) {
    Panel panel(true);
    const QImage image = panel.paint();
    for (const Region& r : kRegions) {
        SCOPED_TRACE(r.name);
        const QColor c = pixelAt(image, r.x, r.y);
        switch (r.paint) {
            case Paint::transparent:
                EXPECT_EQ(c.alpha(), 0);
                break;
            case Paint::body:
                EXPECT_NEAR(c.alpha(), 230, 1);  // white at 0.9
                EXPECT_EQ(c.red(), 255);
                break;
            case Paint::border:
                EXPECT_EQ(c.alpha(), 255);
                EXPECT_EQ(c.red(), 255);
                break;
        }
    }
    EXPECT_FALSE(panel.qt.isMasked());
    EXPECT_TRUE(panel.qt.widget().mask().isEmpty());
}

TEST(PanelPainting, withoutCompositorTheWindowIsCutToItsOutline) {
    Panel panel(false);
    panel.window->makeKeyAndOrderFront();
    ASSERT_TRUE(panel.qt.isMasked());
    const QRegion mask = panel.qt.widget().mask();
    for (const Region& r : kRegions) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(mask.contains(QPoint(r.x, r.y)), r.paint != Paint::transparent);
    }
    // The mask follows the arrow and the size.
    panel.background.setArrowX(60);
    EXPECT_TRUE(panel.qt.widget().mask().contains(QPoint(60, 3)));
    EXPECT_FALSE(panel.qt.widget().mask().contains(QPoint(140, 3)));
    panel.window->setFrame({100, 100, 200, 300}, true);
    EXPECT_EQ(panel.qt.widget().mask().boundingRect(), QRect(0, 0, 200, 300));
}

TEST(PanelWindow, placesFramesOnScreenWithYFlippedAndReportsOnlySizeChanges) {
    Panel panel(true);
    const int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    struct Step {
        Rect frame;
        int resizes;  // after the step
    };
    const Step steps[] = {
        {{100, 100, 280, 400}, 0}, {{120, 50, 280, 400}, 0}, {{120, 50, 24, 22}, 1}, {{0, 0, 280, 400}, 2}};
    for (const Step& s : steps) {
        panel.window->setFrame(s.frame, true);
        const QRect expected(static_cast<int>(s.frame.x), screenHeight - static_cast<int>(s.frame.maxY()),
                             static_cast<int>(s.frame.width), static_cast<int>(s.frame.height));
        EXPECT_EQ(panel.qt.widget().geometry(), expected);
        EXPECT_EQ(panel.window->frame(), s.frame);
        EXPECT_EQ(panel.delegate.resizes, s.resizes);
        EXPECT_EQ(panel.background.frame(), (Rect{0, 0, s.frame.width, s.frame.height}));
    }
}

TEST(PanelWindow, laysControlsOutFromTheTopOfTheCreationFrame) {
    Panel panel(true);
    const platform::TextField& summary = panel.window->addTextField({20, 70, 240, 146});
    panel.window->addImageView({20, 222, 240, 160});
    panel.window->addButton({150, 14, 110, 26}, "Quit", [] {});
    const QObjectList& children = panel.qt.widget().children();
    std::vector<QRect> placed;
    for (QObject* child : children) {
        if (auto* widget = qobject_cast<QWidget*>(child)) placed.push_back(widget->geometry());
    }
    EXPECT_EQ(placed, (std::vector<QRect>{QRect(20, 184, 240, 146), QRect(20, 18, 240, 160),
                                          QRect(150, 360, 110, 26)}));
    EXPECT_EQ(summary.stringValue(), "");
}

TEST(PanelWindow, animatesFrameAndAlphaTogetherThroughIntermediateSizes) {
    Panel panel(true);
    std::vector<double> widths;
    struct WidthRecorder final : platform::WindowDelegate {
        explicit WidthRecorder(Panel& p, std::vector<double>& w) : panel(p), seen(w) {}
        void windowDidResize() override { seen.push_back(panel.window->frame().width); }
        Panel& panel;
        std::vector<double>& seen;
    } recorder(panel, widths);
    panel.window->setDelegate(&recorder);
    panel.window->setFrame({240, 478, 24, 22}, true);
    panel.window->setAlphaValue(0.0);
    QtAnimationContext animation;
    const Rect target{100, 100, 280, 400};
    animation.beginGrouping();
    animation.setDuration(0.1);
    animation.animator(*panel.window).setFrame(target, true);
    animation.animator(*panel.window).setAlphaValue(1.0);
    animation.endGrouping();
    EXPECT_TRUE(
        eventually([&] { return panel.window->frame() == target && panel.window->alphaValue() == 1.0; }));
    ASSERT_GE(widths.size(), 3u);  // the first size, at least one step between, the last
    EXPECT_EQ(widths.front(), 24.0);
    EXPECT_EQ(widths.back(), 280.0);
    EXPECT_TRUE(std::is_sorted(widths.begin(), widths.end()));
    panel.window->setDelegate(&panel.delegate);
}

TEST(PanelWindow, reportsClosingAndLosingTheKeyboard) {
    Panel panel(true);
    panel.window->makeKeyAndOrderFront();
    ASSERT_TRUE(eventually([&] { return panel.qt.widget().isActiveWindow(); }));
    QWidget other;
    other.show();
    other.activateWindow();
    EXPECT_TRUE(eventually([&] { return panel.delegate.resignations == 1; }));
    EXPECT_TRUE(panel.window->isVisible());  // losing the keyboard never hides the panel
    panel.qt.widget().close();
    EXPECT_EQ(panel.delegate.closes, 1);
    EXPECT_FALSE(panel.window->isVisible());
}

TEST(PanelWindow, takesDroppedLocalFilesOnly) {
    Panel panel(true);
    QMimeData data;
    data.setUrls({QUrl(QStringLiteral("file:///home/me/My photo.jpg")),
                  QUrl(QStringLiteral("https://example.org/b.jpg")),
                  QUrl::fromLocalFile(QStringLiteral("/home/me/c.CR2"))});
    const QPointF where(140, 200);
    QDragEnterEvent enter(where.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&panel.qt.widget(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&panel.qt.widget(), &drop);
    EXPECT_EQ(panel.dropped,
              (std::vector<std::string>{"file:///home/me/My%20photo.jpg", "file:///home/me/c.CR2"}));

    QMimeData text;
    text.setText(QStringLiteral("just words"));
    QDragEnterEvent refused(where.toPoint(), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&panel.qt.widget(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

// The preview with the desktop's side recorded: what a double click would open, what a drag
// would carry and allow.
struct Preview {
    Preview()
        : view(parent, QRect(0, 0, 240, 160),
               {[this](const QUrl& file) { opened.push_back(file); },
                [this](QWidget&, QMimeData* data, const QPixmap&, Qt::DropActions actions) {
                    dragged.reset(data);
                    allowed = actions;
                    ++drags;
                }}) {}

    void mouse(QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, view.widget()->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(view.widget(), &event);
    }
    void doubleClick() {
        mouse(QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, {50, 50}, Qt::NoButton);
        mouse(QEvent::MouseButtonDblClick, {50, 50}, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, {50, 50}, Qt::NoButton);
    }
    void dragBy(int dx) {
        mouse(QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton);
        mouse(QEvent::MouseMove, {50 + dx, 50}, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, {50 + dx, 50}, Qt::NoButton);
    }

    QWidget parent;
    QtImageView view;
    std::vector<QUrl> opened;
    std::unique_ptr<QMimeData> dragged;
    Qt::DropActions allowed;
    int drags = 0;
};

TEST(PanelPreview, doubleClickOpensTheShownPhotoAndDragCopiesIt) {
    struct Case {
        const char* name;
        std::string represented;  // as the fill hands it: a local path, bytes of the file name
        const char* url;          // none: nothing opens, nothing drags
    };
    const Case cases[] = {
        {"a photo", "/home/me/IMG_0042.JPG", "file:///home/me/IMG_0042.JPG"},
        {"blanks and non-ASCII", "/home/me/Caf\xc3\xa9 #1.cr2", "file:///home/me/Caf%C3%A9%20%231.cr2"},
        {"the no-file message", "", nullptr},
    };
    const int far = QApplication::startDragDistance() + 5;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Preview preview;
        preview.view.setRepresentedFile("/home/me/earlier.jpg");
        preview.view.setRepresentedFile(c.represented);
        preview.doubleClick();
        preview.dragBy(QApplication::startDragDistance() - 1);  // a shaky click is no drag
        preview.dragBy(far);
        if (c.url == nullptr) {
            EXPECT_TRUE(preview.opened.empty());
            EXPECT_EQ(preview.drags, 0);
            continue;
        }
        EXPECT_EQ(preview.opened, std::vector<QUrl>{QUrl(QString::fromLatin1(c.url))});
        ASSERT_EQ(preview.drags, 1);
        EXPECT_EQ(preview.allowed, Qt::DropActions(Qt::CopyAction));  // never a move
        EXPECT_EQ(preview.dragged->data(QStringLiteral("text/uri-list")).trimmed(), QByteArray(c.url));
        EXPECT_EQ(preview.dragged->data(QStringLiteral("x-special/gnome-copied-files")),
                  QByteArray("copy\n") + c.url);
    }
}

TEST(PanelSummary, saysHowToChooseAPhotoUntilTheFirstText) {
    QWidget parent;
    parent.resize(280, 200);
    QtTextField summary(parent, QRect(0, 0, 240, 146));
    auto* edit = qobject_cast<QPlainTextEdit*>(summary.widget());
    ASSERT_NE(edit, nullptr);
    auto inked = [&] {
        QImage image(edit->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        edit->render(&image);
        int dark = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) dark += pixelAt(image, x, y).lightness() < 200 ? 1 : 0;
        }
        return dark;
    };
    applyPanelLook(parent);
    EXPECT_EQ(edit->placeholderText(), QString::fromLatin1(kEmptyPanelHint));
    EXPECT_GT(inked(), 50);
    EXPECT_EQ(summary.stringValue(), "");  // the hint is no text of the panel's
    summary.setStringValue(" ");
    EXPECT_EQ(inked(), 0);
}

}  // namespace
}  // namespace quillory::qt
