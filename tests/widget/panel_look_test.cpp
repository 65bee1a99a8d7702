// The whole panel as the program builds it, filled with a photo and shown offscreen, under a
// light and a dark desktop theme. The pictures are kept as artifacts for people to look at.
#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include "panel/panel_controller.h"
#include "platform/qt/qt_platform.h"
#include "widget_support.h"

namespace quillory::qt {
namespace {

using testing::eventually;

QPalette darkDesktop() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x2d, 0x2d, 0x2d));
    palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, Qt::white);
    return palette;
}

// The panel over a desktop of `backdrop`, as a compositor would blend it.
QImage shotOver(QWidget& panel, const QColor& backdrop) {
    QImage painted(panel.size(), QImage::Format_ARGB32_Premultiplied);
    painted.fill(Qt::transparent);
    panel.render(&painted, QPoint(), QRegion(), QWidget::DrawChildren);
    QImage shot(panel.size(), QImage::Format_RGB32);
    shot.fill(backdrop);
    QPainter(&shot).drawImage(0, 0, painted);
    return shot;
}

TEST(PanelLook, staysDarkTextOnAWhiteBodyInLightAndDarkThemes) {
    struct Case {
        const char* name;
        bool darkTheme;
        QColor backdrop;
        const char* artifact;
    };
    const Case cases[] = {{"light theme", false, QColor(0xd5, 0xd9, 0xde), "panel-light-theme.png"},
                          {"dark theme", true, QColor(0x25, 0x28, 0x2c), "panel-dark-theme.png"}};
    const QPalette original = QApplication::palette();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QApplication::setPalette(c.darkTheme ? darkDesktop() : original);
        testing::FixedSelection selection;
        selection.items = {"file:///home/me/Pictures/2021/IMG_0042.JPG"};
        testing::GradientPhotos photos;
        QtPlatform qt({{[] { return true; }, {}}, std::nullopt, nullptr});
        InlineReadQueue reads;
        PanelController controller(qt.services(), {selection, photos, reads}, nullptr);
        controller.setHasActivePanel(true);
        auto* window = dynamic_cast<QtWindow*>(controller.window());
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(
            eventually([&] { return window->frame().width == 280.0 && window->alphaValue() == 1.0; }));

        auto* summary = window->widget().findChild<QPlainTextEdit*>();
        auto* version = window->widget().findChild<QLabel*>();
        ASSERT_TRUE(summary != nullptr && version != nullptr);
        EXPECT_NE(summary->toPlainText().indexOf(QStringLiteral("IMG_0042.JPG")), -1);
        EXPECT_TRUE(version->text().startsWith(QStringLiteral("Quillory v")));
        EXPECT_LT(summary->palette().color(QPalette::Text).lightness(), 80);
        EXPECT_LT(version->palette().color(QPalette::WindowText).lightness(), 140);

        const QImage shot = shotOver(window->widget(), c.backdrop);
        EXPECT_GT(testing::pixelAt(shot, 140, 390).lightness(), 200);  // the white body, whatever the theme
        if (auto path = testing::artifactPath(QString::fromLatin1(c.artifact))) shot.save(*path);
    }
    QApplication::setPalette(original);
}

}  // namespace
}  // namespace quillory::qt
