// The tray icon on Qt, offscreen: its picture is the status item view's drawing for the
// appearance, drawn without a redraw loop; a press becomes the view's mouse-down with the
// current event set; quitting through the application removes it.
#include <gtest/gtest.h>

#include <QPainter>

#include <cmath>

#include "menubar/menubar_controller.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/tray_appearance.h"
#include "widget_support.h"

namespace quillory::qt {
namespace {

using testing::eventually;

struct Tray final : platform::AppDelegate {
    explicit Tray(std::optional<std::string> appearance)
        : qt({{[] { return true; }, {}}, std::move(appearance), nullptr}) {
        qt.application.launch(*this);
    }
    void applicationDidFinishLaunching() override {
        menubar = std::make_unique<MenubarController>(qt.services());
    }
    platform::TerminateReply applicationShouldTerminate() override {
        menubar.reset();
        return platform::TerminateReply::terminateNow;
    }
    bool tryToPerform(std::string_view action, const void*) override {
        actions.emplace_back(action);
        events.push_back(qt.application.currentEvent());
        return true;
    }

    QtStatusItem& item() const { return *qt.statusBar.items().front(); }

    QtPlatform qt;
    std::unique_ptr<MenubarController> menubar;
    std::vector<std::string> actions;
    std::vector<std::optional<platform::Event>> events;
};

// Mean lightness of the drawn pixels, and their bounding box.
struct Glyph {
    double lightness = 0;
    QRect box;
};

Glyph glyphOf(const QImage& drawing) {
    Glyph glyph;
    double sum = 0;
    int count = 0;
    for (int y = 0; y < drawing.height(); ++y) {
        for (int x = 0; x < drawing.width(); ++x) {
            const QColor c = testing::pixelAt(drawing, x, y);
            if (c.alpha() < 200) continue;
            sum += c.lightness();
            ++count;
            glyph.box |= QRect(x, y, 1, 1);
        }
    }
    glyph.lightness = count > 0 ? sum / count : -1;
    return glyph;
}

TEST(TrayIcon, showsTheIconForTheAppearanceCentredAndDrawsNoMoreThanAsked) {
    struct Case {
        const char* name;
        std::optional<std::string> appearance;
        bool lightGlyph;
    };
    const Case cases[] = {{"light panel", std::nullopt, false}, {"dark panel", "dark", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Tray tray(c.appearance);
        // The first pass replaces "Status" by the icon and asks for one more; then all is quiet.
        ASSERT_TRUE(eventually([&] { return tray.item().displayPasses() == 2; }));
        QCoreApplication::processEvents();
        EXPECT_EQ(tray.item().displayPasses(), 2);
        ASSERT_NE(tray.item().trayIcon(), nullptr);
        EXPECT_FALSE(tray.item().trayIcon()->icon().isNull());

        const QImage& drawing = tray.item().drawing();
        ASSERT_EQ(drawing.size(), QSize(72, 72));  // 24 x 22 on a square canvas, three pixels a point
        const Glyph glyph = glyphOf(drawing);
        EXPECT_EQ(glyph.lightness > 200, c.lightGlyph) << glyph.lightness;
        EXPECT_EQ(glyph.lightness < 100, !c.lightGlyph) << glyph.lightness;
        // An 18-point image centred in 24 x 22 (plus the canvas's 1-point top margin): (3, 3) to (21, 21).
        EXPECT_TRUE(QRect(9, 9, 54, 54).contains(glyph.box))
            << glyph.box.x() << "," << glyph.box.y() << " " << glyph.box.width() << "x" << glyph.box.height();
    }
}

TEST(TrayIcon, aPressOrAMenuEntryIsAnActionWithTheEventCurrent) {
    Tray tray(std::nullopt);
    ASSERT_NE(tray.item().trayIcon(), nullptr);
    QSystemTrayIcon& icon = *tray.item().trayIcon();
    Q_EMIT icon.activated(QSystemTrayIcon::Context);
    Q_EMIT icon.activated(QSystemTrayIcon::MiddleClick);
    EXPECT_TRUE(tray.actions.empty());
    Q_EMIT icon.activated(QSystemTrayIcon::Trigger);
    Q_EMIT icon.activated(QSystemTrayIcon::DoubleClick);  // the second press of a double click
    EXPECT_EQ(tray.actions, (std::vector<std::string>{"togglePanel:", "togglePanel:"}));
    ASSERT_TRUE(tray.events.front().has_value());
    EXPECT_EQ(tray.events.front()->type, platform::kLeftMouseDown);
    EXPECT_TRUE(tray.events.front()->locationInScreen.has_value());
    EXPECT_FALSE(tray.qt.application.currentEvent().has_value());

    // The menu: its entries send their actions as a click would; the tooltip names the program.
    ASSERT_NE(tray.item().menu(), nullptr);
    EXPECT_EQ(icon.contextMenu(), tray.item().menu());
    EXPECT_EQ(icon.toolTip(), QStringLiteral("Quillory"));
    const QList<QAction*> entries = tray.item().menu()->actions();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0]->text(), QStringLiteral("Show Panel"));
    EXPECT_EQ(entries[1]->text(), QStringLiteral("Quit"));
    tray.menubar->setHasActiveIcon(true);
    EXPECT_EQ(tray.item().menu()->actions(), entries);  // retitled in place
    EXPECT_EQ(entries[0]->text(), QStringLiteral("Hide Panel"));
    entries[0]->trigger();
    entries[1]->trigger();
    EXPECT_EQ(tray.actions,
              (std::vector<std::string>{"togglePanel:", "togglePanel:", "togglePanel:", "doExit:"}));
    ASSERT_TRUE(tray.events.back().has_value());
    EXPECT_EQ(tray.events.back()->type, platform::kLeftMouseDown);
}

TEST(TrayAppearance, theOverrideThenTheTraysHintThenTheColourScheme) {
    const std::optional<std::string> dark = "Dark";
    const struct {
        std::optional<std::string> override;
        std::optional<std::uint32_t> trayForeground;
        std::optional<std::uint32_t> scheme;
        std::optional<std::string> style;
    } cases[] = {
        {std::nullopt, 0xffffffu, std::nullopt, dark},  // Xfce's dark panel asks for white icons
        {std::nullopt, 0xdfdfdfu, 2u, dark},            // the tray knows its panel better than the scheme
        {std::nullopt, 0x2e3436u, 1u, std::nullopt},
        {std::nullopt, 0x808080u, std::nullopt, dark},
        {std::nullopt, 0x7f7f7fu, std::nullopt, std::nullopt},
        {std::nullopt, 0x0000ffu, std::nullopt, std::nullopt},  // pure blue is dark
        {std::nullopt, std::nullopt, 1u, dark},
        {std::nullopt, std::nullopt, 0u, std::nullopt},
        {"light", 0xffffffu, 1u, std::nullopt},
        {"DARK", 0x000000u, 2u, dark},
        {"sepia", 0xffffffu, 2u, dark},  // not an override: the hint decides
        {"sepia", std::nullopt, 1u, dark},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.override.value_or("-") + " " + std::to_string(c.trayForeground.value_or(1u << 24)) +
                     " " + std::to_string(c.scheme.value_or(9u)));
        EXPECT_EQ(panelInterfaceStyle(c.override, c.trayForeground, c.scheme), c.style);
    }
}

double linear(int channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(QColor c) {
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
}

// The share of an icon's square whose pixels stand out from `panel` with a contrast ratio of
// 3:1 or more, the least that graphics need to be made out.
double legibleShare(QtImage& image, QColor panel) {
    const QSize size(54, 54);
    QImage alone(size, QImage::Format_ARGB32_Premultiplied);
    alone.fill(Qt::transparent);
    QImage shown(size, QImage::Format_ARGB32_Premultiplied);
    shown.fill(panel);
    for (QImage* target : {&alone, &shown}) {
        QPainter painter(target);
        image.render(painter, QRectF(QPointF(0, 0), size));
    }
    const double behind = luminance(panel);
    int legible = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (qAlpha(alone.pixel(x, y)) < 128) continue;
            const double l = luminance(QColor(shown.pixel(x, y)));
            const double ratio = (std::max(l, behind) + 0.05) / (std::min(l, behind) + 0.05);
            if (ratio >= 3.0) ++legible;
        }
    }
    return static_cast<double>(legible) / (size.width() * size.height());
}

TEST(TrayIcon, bothGlyphsStayLegibleOnLightGreyAndDarkPanels) {
    QtImageStore images;
    for (const char* name : {"Icon", "IconHighlighted"}) {
        auto image = std::const_pointer_cast<QtImage>(
            std::dynamic_pointer_cast<const QtImage>(images.imageNamed(name)));
        ASSERT_NE(image, nullptr) << name;
        for (QColor panel : {QColor(0xf2f2f2), QColor(0x808080), QColor(0x2b2b2b)}) {
            SCOPED_TRACE(std::string(name) + " on " + panel.name().toStdString());
            const double share = legibleShare(*image, panel);
            EXPECT_GE(share, 0.15);
        }
    }
}

TEST(TrayIcon, quittingThroughTheApplicationRemovesIt) {
    Tray tray(std::nullopt);
    ASSERT_EQ(tray.qt.statusBar.items().size(), 1u);
    tray.qt.application.terminate();
    EXPECT_EQ(tray.menubar, nullptr);
    EXPECT_TRUE(tray.qt.statusBar.items().empty());
}

}  // namespace
}  // namespace quillory::qt
