// The panel on the simulated platform: where it opens, how it opens and closes, its outline.
#include <gtest/gtest.h>

#include "panel/placement.h"
#include "program_fixture.h"

namespace quillory {

using platform::Point;
using platform::Rect;
using testing::Program;
constexpr ArrowEdge top = ArrowEdge::top, bottom = ArrowEdge::bottom;
constexpr Rect kShown{860, 478, 280, 400};

// Under the icon, kept 8 inside the screen's sides, upward from a bottom bar; when the tray does
// not say where the icon is, under the click (or the host's position) in a bar, else, when it
// comes without one, under the last; else at the right end of the desktop's bar, the arrow by the
// corner.
TEST(PanelOpening, placesThePanelUnderTheIconOrWhereTheTrayWasClicked) {
    const std::optional<Point> unknown;
    // Click none: the icon's middle; through the menu: "Show Panel", the menu opened at `click`.
    // Earlier: a click there opened and closed the panel before.
    // clang-format off
    const struct { std::optional<Point> iconOrigin, click; bool throughMenu; Rect frame; std::int64_t arrowX;
                   ArrowEdge edge; std::optional<Point> earlier = {}; bool bottomBar = false; } cases[] = {
        {Point{988, 878}, unknown, false, kShown, 140, top},
        {Point{1388, 878}, unknown, false, {1152, 478, 280, 400}, 248, top},
        {Point{38, 878}, unknown, false, {8, 478, 280, 400}, 42, top},
        {Point{988, 400}, unknown, false, {860, 0, 280, 400}, 140, top},  // fits exactly
        {Point{988, 0}, unknown, false, {860, 22, 280, 400}, 140, bottom},
        {Point{988, 300}, unknown, false, {860, 322, 280, 400}, 140, bottom},  // 278 would be below 0
        {Point{1388, 878}, Point{640, 420}, true, {1152, 478, 280, 400}, 248, top},
        {unknown, Point{1000, 889}, false, kShown, 140, top},
        {unknown, Point{1000, 11}, false, {860, 22, 280, 400}, 140, bottom},
        {unknown, Point{30, 889}, false, {8, 478, 280, 400}, 22, top},
        {unknown, Point{1000, 889}, true, kShown, 140, top},
        {unknown, unknown, false, {1152, 478, 280, 400}, 266, top},
        {unknown, Point{640, 420}, true, {1152, 478, 280, 400}, 266, top},
        {unknown, unknown, true, kShown, 140, top, Point{1000, 889}},
        {unknown, Point{640, 420}, false, {1152, 478, 280, 400}, 266, top, Point{1000, 889}},
        {unknown, unknown, false, {1152, 22, 280, 400}, 266, bottom, unknown, true}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Program program(c.iconOrigin);
        if (c.bottomBar) program.sim.visible = {0, 22, 1440, 878};
        for (int click = 0; c.earlier && click < 2; ++click) program.sim.clickStatusItem(0, c.earlier);
        c.throughMenu ? program.sim.chooseStatusMenuItem("Show Panel", c.click)
                      : program.sim.clickStatusItem(0, c.click);
        program.sim.advance(1.0);
        EXPECT_EQ(program.window().frame(), c.frame);
        EXPECT_EQ(program.arrowX(), c.arrowX);
        EXPECT_EQ(program.panel()->backgroundView()->arrowEdge(), c.edge);
    }
}

TEST(PanelPlacement, aClickInABarStandsForTheIconAndThePanelStaysOnScreen) {
    // clang-format off
    const std::pair<Point, std::optional<Rect>> cases[] = {
        {{1000, 889}, Rect{988, 878, 24, 22}}, {{1000, 878}, Rect{988, 878, 24, 22}}, {{1000, 877}, std::nullopt},
        {{1000, 5}, Rect{988, 0, 24, 22}}, {{1000, 22}, std::nullopt}, {{500, 450}, std::nullopt}};
    // clang-format on
    for (auto [click, icon] : cases)
        EXPECT_EQ(iconRectAroundClick(click, {0, 0, 1440, 900}, 22.0), icon) << click.y;
    // A screen too short for either side.
    EXPECT_EQ(placePanel(statusRectBelowIcon({388, 150, 24, 22}), {0, 0, 800, 420}).frame,
              (Rect{260, 20, 280, 400}));
}

// Shift slows the opening tenfold, Shift-Option also logs; other keys, events or none do neither.
TEST(OpeningTiming, shiftSlowsTheOpeningAndShiftOptionAlsoLogs) {
    constexpr std::uint64_t S = platform::kShiftKeyMask, O = platform::kAlternateKeyMask;
    // clang-format off
    // Type 0: no current event; 10: not a left mouse-down. 0x100: a device-dependent bit, masked off.
    const struct { int type; std::uint64_t flags; double duration; } cases[] = {
        {0, 0, 0.15}, {1, 0, 0.15}, {1, S, 1.5}, {1, S | O, 1.5}, {1, S | 0x100, 1.5}, {10, S, 0.15},
        {1, S | platform::kAlphaShiftKeyMask, 0.15}, {1, S | platform::kControlKeyMask, 0.15}};
    // clang-format on
    for (const auto& c : cases) {
        const auto event = c.type != 0 ? std::optional{platform::Event{c.type, c.flags, {}}} : std::nullopt;
        EXPECT_DOUBLE_EQ(openingTiming(event).duration, c.duration) << c.flags;
        EXPECT_EQ(openingTiming(event).logPlacement, c.type == 1 && c.flags == (S | O)) << c.flags;
    }
}

// The frame starts on the status rectangle (arrow x 12), and every size change of the opening
// animation moves the arrow with it, to 140.
TEST(PanelOpening, arrowFollowsTheIconAtEveryStepAndShiftOptionLogs) {
    Program program;
    program.sim.clickStatusItem(platform::kShiftKeyMask | platform::kAlternateKeyMask);
    EXPECT_EQ(program.sim.lastLog,
              "Icon is at {{988, 856}, {24, 22}}\n\tMenu is on screen {{0, 0}, {1440, 900}}\n\t"
              "Will be animated to {{860, 478}, {280, 400}}");
    platform::sim::SimWindow& window = program.window();
    EXPECT_EQ(window.frame(), (Rect{988, 856, 24, 22}));
    EXPECT_EQ(program.arrowX(), 12);
    while (window.frame() != kShown) {
        ASSERT_LT(window.alpha, 1.0);
        program.sim.advance(1.0 / 60.0);
        EXPECT_EQ(program.arrowX(), static_cast<std::int64_t>(1000.0 - window.frame().x));
    }
    EXPECT_EQ(window.alpha, 1.0);
    EXPECT_NEAR(static_cast<double>(program.sim.runLoop.nowNs), 1.5e9, 100.0);
    EXPECT_EQ(program.sim.logCount, 1);
}

// The panel opened by a click and fully animated in.
struct OpenPanel : ::testing::Test {
    OpenPanel() {
        program.sim.clickStatusItem();
        program.sim.advance(1.0);
    }
    PanelController& panel() { return *program.panel(); }
    platform::sim::SimWindow& window() { return program.window(); }
    Program program;
};

// Polling stops at once, the alpha is 0 after 0.1 s, the window goes 0.2 s after; the same
// on a hidden panel shows nothing.
TEST_F(OpenPanel, closingFadesThenHidesAndStopsPolling) {
    for (int closing = 0; closing < 2; ++closing) {
        closing == 0 ? panel().setHasActivePanel(false) : panel().closePanel();
        EXPECT_FALSE(panel().hasActivePanel());
        const int queries = program.selection.queries;
        program.sim.advance(0.1);
        EXPECT_EQ(window().alpha, 0.0);
        program.sim.advance(0.099);
        EXPECT_EQ(window().visible, closing == 0);
        program.sim.advance(0.001);
        EXPECT_FALSE(window().visible);
        program.sim.advance(5.0);
        EXPECT_EQ(program.selection.queries, queries);
    }
}

TEST_F(OpenPanel, twoOpeningsLeaveOneTimerAndTheFirstNeverFiresAgain) {
    program.sim.advance(0.3);  // the first timer is due again at 1.5
    panel().openPanel();
    const int queries = program.selection.queries;
    program.sim.advance(0.2);
    EXPECT_EQ(program.selection.queries, queries);
    program.sim.advance(0.3);  // 1.8: the new one ticks
    EXPECT_EQ(program.selection.queries, queries + 1);
}

// Mended: the hide scheduled by a closing no longer takes off screen a panel reopened within 0.2 s.
TEST_F(OpenPanel, reopeningSoonAfterClosingKeepsThePanelShown) {
    for (double reopenAfter : {0.0, 0.05, 0.199}) {
        panel().doClose();
        program.sim.advance(reopenAfter);
        program.sim.clickStatusItem();
        program.sim.advance(1.0);
        EXPECT_TRUE(window().visible && window().alpha == 1.0) << reopenAfter;
    }
    panel().doClose();  // and a later closing still hides it
    program.sim.advance(0.2);
    EXPECT_FALSE(window().visible);
}

// Mended: the exit control and the menu's Quit end the process at once with status 0, through
// the platform, asking nobody; closing the window ends nothing.
TEST_F(OpenPanel, quitEndsWithStatusZeroAtOnceAndClosingDoesNot) {
    window().performClose();
    program.sim.advance(1.0);
    EXPECT_TRUE(program.sim.exits.empty());
    window().buttons.at("Quit")();
    program.sim.chooseStatusMenuItem("Quit");
    EXPECT_EQ(program.sim.exits, (std::vector{0, 0}));
    EXPECT_FALSE(program.sim.terminated);
    EXPECT_NE(program.delegate.menubarController(), nullptr);
}

// The outline of a 280 x 400 panel with the arrow at 140, on either edge; every set of the arrow x, the
// same value included, asks for a full redraw.
TEST(BackgroundView, outlineFollowsTheArrowAndEverySetRedraws) {
    using K = platform::PathElement::Kind;
    auto M = [](double x, double y) { return platform::PathElement{K::moveTo, {Point{x, y}}}; };
    auto L = [](double x, double y) { return platform::PathElement{K::lineTo, {Point{x, y}}}; };
    auto C = [](double x, double y, double cx, double cy) {
        return platform::PathElement{K::curveTo, {Point{x, y}, Point{cx, cy}, Point{cx, cy}}};
    };
    const platform::PathElement Z{K::closePath, {}};
    EXPECT_EQ(backgroundOutline({0, 0, 280, 400}, 140, top).elements(),
              (std::vector{M(140, 399), L(146, 391), L(273, 391), C(279, 385, 279, 391), L(279, 7),
                           C(273, 1, 279, 1), L(7, 1), C(1, 7, 1, 1), L(1, 385), C(7, 391, 1, 391),
                           L(134, 391), Z}));
    EXPECT_EQ(backgroundOutline({0, 0, 280, 400}, 140, bottom).elements(),
              (std::vector{M(140, 1), L(134, 9), L(7, 9), C(1, 15, 1, 9), L(1, 393), C(7, 399, 1, 399),
                           L(273, 399), C(279, 393, 279, 399), L(279, 15), C(273, 9, 279, 9), L(146, 9), Z}));
    BackgroundView view({0, 0, 280, 400});
    platform::sim::SimGraphics graphics;
    view.display(graphics);
    view.setArrowX(0);
    EXPECT_TRUE(view.needsDisplay());
}

}  // namespace quillory
