#include <gtest/gtest.h>

#include <optional>

#include "panel/placement.h"
#include "program_fixture.h"

namespace quillory {
namespace {

using platform::Rect;
using testing::Program;

constexpr Rect kScreen{0, 0, 1440, 900};

TEST(PanelPlacement, workedCasesUnderAnIconAtTheTop) {
    const struct {
        std::optional<Rect> icon;  // none: no status item view
        Rect status;
        Rect panel;
        std::int64_t arrowX;
    } cases[] = {
        {Rect{988, 878, 24, 22}, {988, 856, 24, 22}, {860, 478, 280, 400}, 140},
        {Rect{1388, 878, 24, 22}, {1388, 856, 24, 22}, {1152, 478, 280, 400}, 248},  // kept clear of the edge
        {Rect{38, 878, 24, 22}, {38, 856, 24, 22}, {8, 478, 280, 400}, 42},
        {std::nullopt, {708, 856, 24, 22}, {580, 478, 280, 400}, 140},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status.x);
        const Rect status = c.icon ? statusRectBelowIcon(*c.icon) : fallbackStatusRect(kScreen, 22.0);
        EXPECT_EQ(status, c.status);
        const PanelPlacement placement = placePanel(status, kScreen);
        EXPECT_EQ(placement.start, c.status);
        EXPECT_EQ(placement.frame, c.panel);
        EXPECT_EQ(placement.edge, ArrowEdge::top);
        EXPECT_EQ(arrowXFor(status, placement.start), 12);
        EXPECT_EQ(arrowXFor(status, placement.frame), c.arrowX);
    }
}

TEST(PanelPlacement, iconAtTheBottomOpensAboveWithTheArrowBelow) {
    const struct {
        Rect icon;
        Rect start;
        Rect panel;
    } cases[] = {
        {{988, 0, 24, 22}, {988, 22, 24, 22}, {860, 22, 280, 400}},
        {{1388, 0, 24, 30}, {1388, 30, 24, 30}, {1152, 30, 280, 400}},
        {{988, 300, 24, 22}, {988, 322, 24, 22}, {860, 322, 280, 400}},  // 278 would be below 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.icon.y);
        const PanelPlacement placement = placePanel(statusRectBelowIcon(c.icon), kScreen);
        EXPECT_EQ(placement.edge, ArrowEdge::bottom);
        EXPECT_EQ(placement.start, c.start);
        EXPECT_EQ(placement.frame, c.panel);
        EXPECT_GE(placement.frame.y, kScreen.y);
    }
    // A screen too short for either side: the panel stays on it.
    EXPECT_EQ(placePanel(statusRectBelowIcon({388, 150, 24, 22}), {0, 0, 800, 420}).frame,
              (Rect{260, 20, 280, 400}));
    // 400 fits exactly below an icon whose bottom edge is at 400: still the top placement.
    EXPECT_EQ(placePanel(statusRectBelowIcon({988, 400, 24, 22}), kScreen).edge, ArrowEdge::top);
}

TEST(PanelPlacement, iconRectFromAClickSnapsToTheNearestBar) {
    const struct {
        platform::Point click;
        std::optional<Rect> icon;
    } cases[] = {
        {{1000, 889}, Rect{988, 878, 24, 22}},  // top bar
        {{1000, 878}, Rect{988, 878, 24, 22}},
        {{1000, 877}, std::nullopt},
        {{1000, 5}, Rect{988, 0, 24, 22}},  // bottom bar
        {{1000, 22}, std::nullopt},
        {{500, 450}, std::nullopt},  // in no bar: the host's menu or keyboard
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.click.y);
        EXPECT_EQ(iconRectAroundClick(c.click, kScreen, 22.0), c.icon);
    }
}

TEST(OpeningTiming, shiftSlowsTheOpeningAndShiftOptionAlsoLogs) {
    using platform::Event;
    const std::uint64_t shift = platform::kShiftKeyMask;
    const struct {
        std::optional<Event> event;
        double duration;
        bool log;
    } cases[] = {
        {std::nullopt, 0.15, false},
        {Event{1, 0, {}}, 0.15, false},
        {Event{1, shift, {}}, 1.5, false},
        {Event{1, shift | platform::kAlternateKeyMask, {}}, 1.5, true},
        {Event{1, shift | platform::kAlphaShiftKeyMask, {}}, 0.15, false},
        {Event{1, shift | platform::kControlKeyMask, {}}, 0.15, false},
        {Event{1, shift | 0x100, {}}, 1.5, false},  // device-dependent bits are masked off
        {Event{10, shift, {}}, 0.15, false},        // not a left mouse-down
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.event ? c.event->modifierFlags : 0);
        const OpeningTiming timing = openingTiming(c.event);
        EXPECT_DOUBLE_EQ(timing.duration, c.duration);
        EXPECT_EQ(timing.logPlacement, c.log);
    }
}

TEST(PanelOpening, arrowFollowsTheIconFrom12To140AtEveryStep) {
    Program program;
    program.sim.clickStatusItem();
    auto* window = program.window();
    EXPECT_EQ(window->frame(), (Rect{988, 856, 24, 22}));
    EXPECT_EQ(window->alphaValue(), 0.0);
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(program.arrowX(), 12);
    EXPECT_EQ(program.sim.application.activations(), std::vector{false});

    int steps = 0;
    while (window->frame() != Rect{860, 478, 280, 400}) {
        ASSERT_LT(++steps, 20);
        program.sim.advance(1.0 / 60.0);
        EXPECT_EQ(program.arrowX(), static_cast<std::int64_t>(1000.0 - window->frame().x));
    }
    EXPECT_GE(steps, 5);
    EXPECT_EQ(program.arrowX(), 140);
    EXPECT_EQ(window->alphaValue(), 1.0);
    EXPECT_NEAR(program.sim.runLoop.now(), 0.15, 1e-6);
}

TEST(PanelOpening, placesUnderTheIconWhereverItSits) {
    const struct {
        std::optional<platform::Point> iconOrigin;
        std::optional<platform::Point> click;  // none: the icon's middle
        bool throughMenu;                      // "Show Panel", the menu opened at `click`
        Rect frame;
        std::int64_t arrowX;
        ArrowEdge edge;
    } cases[] = {
        {platform::Point{1388, 878}, {}, false, {1152, 478, 280, 400}, 248, ArrowEdge::top},
        {platform::Point{38, 878}, {}, false, {8, 478, 280, 400}, 42, ArrowEdge::top},
        {platform::Point{988, 0}, {}, false, {860, 22, 280, 400}, 140, ArrowEdge::bottom},
        // The tray reports no geometry: the click tells where the icon is.
        {std::nullopt, platform::Point{1000, 889}, false, {860, 478, 280, 400}, 140, ArrowEdge::top},
        {std::nullopt, platform::Point{1000, 11}, false, {860, 22, 280, 400}, 140, ArrowEdge::bottom},
        // Nor does the click: the fallback under the middle of the top edge.
        {std::nullopt, std::nullopt, false, {580, 478, 280, 400}, 140, ArrowEdge::top},
        {std::nullopt, platform::Point{640, 420}, false, {580, 478, 280, 400}, 140, ArrowEdge::top},
        {std::nullopt, platform::Point{30, 889}, false, {8, 478, 280, 400}, 22, ArrowEdge::top},
        {std::nullopt, platform::Point{1000, 889}, true, {860, 478, 280, 400}, 140, ArrowEdge::top},
        {std::nullopt, platform::Point{640, 420}, true, {580, 478, 280, 400}, 140, ArrowEdge::top},
        {platform::Point{1388, 878},
         platform::Point{640, 420},
         true,
         {1152, 478, 280, 400},
         248,
         ArrowEdge::top},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame.x + c.frame.y);
        Program program(c.iconOrigin);
        if (c.throughMenu) {
            ASSERT_TRUE(program.sim.chooseStatusMenuItem("Show Panel", c.click));
        } else {
            program.sim.clickStatusItem(0, c.click);
        }
        program.sim.advance(1.0);
        EXPECT_EQ(program.window()->frame(), c.frame);
        EXPECT_EQ(program.arrowX(), c.arrowX);
        EXPECT_EQ(program.panel()->backgroundView()->arrowEdge(), c.edge);
    }
}

TEST(PanelOpening, withoutADelegateUsesTheFallbackRule) {
    platform::sim::SimPlatform sim;
    testing::FakeSelection selection;
    testing::FakePhotos photos;
    InlineReadQueue reads;
    PanelController panel(sim.services(), {selection, photos, reads}, nullptr);
    panel.setHasActivePanel(true);
    sim.advance(1.0);
    EXPECT_EQ(sim.window()->frame(), (Rect{580, 478, 280, 400}));
    EXPECT_EQ(panel.backgroundView()->arrowX(), 140);
}

TEST(PanelOpening, modifiersChooseDurationAndDiagnosticLine) {
    const struct {
        std::uint64_t modifiers;
        double duration;
        std::size_t lines;
    } cases[] = {
        {0, 0.15, 0},
        {platform::kShiftKeyMask, 1.5, 0},
        {platform::kShiftKeyMask | platform::kAlternateKeyMask, 1.5, 1},
        {platform::kShiftKeyMask | platform::kAlphaShiftKeyMask, 0.15, 0},
        {platform::kShiftKeyMask | platform::kControlKeyMask, 0.15, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.modifiers);
        Program program;
        program.sim.clickStatusItem(c.modifiers);
        ASSERT_EQ(program.sim.animation.groupDurations().size(), 1u);
        EXPECT_DOUBLE_EQ(program.sim.animation.groupDurations()[0], c.duration);
        EXPECT_EQ(program.sim.log.lines().size(), c.lines);
        program.sim.advance(c.duration - 0.02);
        EXPECT_LT(program.window()->alphaValue(), 1.0);
        program.sim.advance(0.02);
        EXPECT_EQ(program.window()->alphaValue(), 1.0);
    }
}

TEST(PanelOpening, shiftOptionLogsTheThreeRectangles) {
    Program program;
    program.sim.clickStatusItem(platform::kShiftKeyMask | platform::kAlternateKeyMask);
    ASSERT_EQ(program.sim.log.lines().size(), 1u);
    EXPECT_EQ(program.sim.log.lines()[0],
              "Icon is at {{988, 856}, {24, 22}}\n\tMenu is on screen {{0, 0}, {1440, 900}}\n\t"
              "Will be animated to {{860, 478}, {280, 400}}");
}

}  // namespace
}  // namespace quillory
