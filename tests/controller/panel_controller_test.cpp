#include <gtest/gtest.h>

#include <cstdlib>

#include "panel/panel_controller.h"
#include "program_fixture.h"

namespace quillory {
namespace {

using platform::Rect;
using testing::CountingObserver;
using testing::Program;

constexpr Rect kShown{860, 478, 280, 400};

// One panel controller opened once and fully animated in, as after a first click.
struct OpenPanel : ::testing::Test {
    OpenPanel() {
        program.sim.clickStatusItem();
        program.sim.advance(1.0);
    }
    PanelController& panel() { return *program.panel(); }
    platform::sim::SimWindow& window() { return *program.window(); }
    std::size_t groups() { return program.sim.animation.groupDurations().size(); }

    Program program;
};

TEST(PanelController, startsInactiveWithNeitherWindowNorTimer) {
    Program program;
    PanelController& panel = *program.delegate.panelController();
    EXPECT_FALSE(panel.hasActivePanel());
    EXPECT_FALSE(panel.isWindowLoaded());
    EXPECT_EQ(panel.timer(), nullptr);
    EXPECT_EQ(program.window(), nullptr);
}

TEST_F(OpenPanel, firstOpeningBuildsATransparentPopUpPanelAndFillsIt) {
    EXPECT_EQ(program.sim.windows.windows().size(), 1u);
    EXPECT_EQ(window().level(), platform::WindowLevel::popUpMenu);
    EXPECT_FALSE(window().isOpaque());
    EXPECT_EQ(window().backgroundColor(), platform::Color::clear());
    EXPECT_TRUE(window().acceptsMouseMovedEvents());
    EXPECT_TRUE(window().canBecomeKeyWindow());
    EXPECT_EQ(window().contentView(), panel().backgroundView());
    ASSERT_NE(panel().oVersion(), nullptr);
    EXPECT_EQ(panel().oVersion()->stringValue().rfind("Quillory v1.2, ", 0), 0u);
    // Filled before the window existed (writes skipped) and again once it was built; then
    // two ticks in the second that passed.
    EXPECT_EQ(program.selection.queries, 2 + 2);
}

TEST(PanelController, fillBeforeTheWindowExistsStillRecordsThePhoto) {
    Program program;
    program.selection.items = {"file:///photos/a.jpg"};
    PanelController& panel = *program.delegate.panelController();
    panel.FillPanel();
    EXPECT_FALSE(panel.isWindowLoaded());
    ASSERT_TRUE(panel.oldUrl().has_value());
    EXPECT_EQ(panel.oldUrl()->path(), "/photos/a.jpg");
}

TEST_F(OpenPanel, settingYesAgainOpensNothingButStillNotifies) {
    CountingObserver observer;
    panel().addObserver(&observer, kHasActivePanelKey, 0, nullptr);
    const std::size_t before = groups();
    panel().setHasActivePanel(true);
    EXPECT_EQ(groups(), before);
    EXPECT_EQ(observer.calls, 1);
    panel().removeObserver(&observer, kHasActivePanelKey);
}

TEST_F(OpenPanel, losingKeyKeepsThePanelOpenAndPolling) {
    CountingObserver observer;
    panel().addObserver(&observer, kHasActivePanelKey, 0, nullptr);
    window().resignKey();
    program.selection.items = {"file:///photos/b.jpg"};
    program.sim.advance(0.5);
    EXPECT_TRUE(panel().hasActivePanel());
    EXPECT_EQ(observer.calls, 0);
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(window().frame(), kShown);
    EXPECT_EQ(program.sim.log.lines(), std::vector<std::string>{"file change"});
    EXPECT_EQ(window().imageViews().at(0)->picture().width, 4);
    panel().removeObserver(&observer, kHasActivePanelKey);
}

TEST_F(OpenPanel, closingFadesThenHidesAndClearsTheFlag) {
    const struct {
        const char* name;
        void (*close)(PanelController&, platform::sim::SimWindow&);
    } cases[] = {
        {"close button",
         [](PanelController&, platform::sim::SimWindow& w) { ASSERT_TRUE(w.pressButton("Close")); }},
        {"flag set to NO", [](PanelController& p, platform::sim::SimWindow&) { p.setHasActivePanel(false); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        program.sim.clickStatusItem();
        if (!panel().hasActivePanel()) program.sim.clickStatusItem();
        program.sim.advance(1.0);
        ASSERT_TRUE(panel().hasActivePanel());
        c.close(panel(), window());
        EXPECT_FALSE(panel().hasActivePanel());
        EXPECT_FALSE(program.icon());
        EXPECT_EQ(program.sim.runLoop.liveTimerCount(), 0u);
        EXPECT_DOUBLE_EQ(program.sim.animation.groupDurations().back(), 0.1);
        program.sim.advance(0.1);
        EXPECT_EQ(window().alphaValue(), 0.0);
        EXPECT_TRUE(window().isVisible());
        program.sim.advance(0.099);
        EXPECT_TRUE(window().isVisible());
        program.sim.advance(0.001);
        EXPECT_FALSE(window().isVisible());
        EXPECT_EQ(window().frame(), kShown);

        const int ticks = program.selection.queries;
        program.sim.advance(5.0);
        EXPECT_EQ(program.selection.queries, ticks);
    }
}

TEST_F(OpenPanel, closingAHiddenPanelShowsNothing) {
    panel().closePanel();
    program.sim.advance(1.0);
    panel().closePanel();
    program.sim.advance(1.0);
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(window().alphaValue(), 0.0);
    EXPECT_EQ(window().orderOutCount(), 2);
}

TEST_F(OpenPanel, twoOpeningsLeaveExactlyOneLiveTimer) {
    program.sim.advance(0.3);  // the first timer is due again at 1.5
    panel().openPanel();
    EXPECT_EQ(program.sim.runLoop.liveTimerCount(), 1u);
    const int queries = program.selection.queries;
    program.sim.advance(0.2);  // 1.5: the replaced timer would have ticked here
    EXPECT_EQ(program.selection.queries, queries);
    program.sim.advance(0.3);  // 1.8: the new one ticks
    EXPECT_EQ(program.selection.queries, queries + 1);
}

// Mended: the hide scheduled by a closing no longer takes off screen a panel reopened
// within 0.2 s.
TEST_F(OpenPanel, reopeningSoonAfterClosingKeepsThePanelShown) {
    const struct { double reopenAfter; } cases[] = {{0.0}, {0.05}, {0.15}, {0.199}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reopenAfter);
        panel().doClose();
        program.sim.advance(c.reopenAfter);
        program.sim.clickStatusItem();
        program.sim.advance(1.0);
        EXPECT_TRUE(window().isVisible());
        EXPECT_EQ(window().alphaValue(), 1.0);
        EXPECT_EQ(window().frame(), kShown);
        EXPECT_EQ(window().orderOutCount(), 0);
        EXPECT_EQ(program.sim.runLoop.liveTimerCount(), 1u);
    }
    panel().doClose();  // and a later closing still hides it
    program.sim.advance(0.2);
    EXPECT_FALSE(window().isVisible());
}

// Mended: with the only end of the process going through the platform, the exit control
// is observable; nothing else ends the process.
TEST_F(OpenPanel, exitButtonEndsWithStatusZeroWithoutAskingTheApplication) {
    window().performClose();
    panel().doClose();
    program.sim.advance(1.0);
    EXPECT_TRUE(program.sim.process.exits().empty());

    ASSERT_TRUE(window().pressButton("Quit"));
    EXPECT_EQ(program.sim.process.exits(), std::vector{0});
    EXPECT_FALSE(program.sim.application.terminated());
    EXPECT_NE(program.delegate.menubarController(), nullptr);  // no clean-up ran
}

// The exit control of a panel controller on a platform whose process service is the real one.
void pressExitWithTheRealProcess() {
    platform::sim::SimPlatform sim;
    platform::SystemProcess process;
    const platform::Platform s = sim.services();
    const platform::Platform real{s.application, s.runLoop,  s.animation, s.statusBar, s.screens, s.windows,
                                  s.images,      s.defaults, s.bundle,    s.log,       process};
    testing::FakeSelection selection;
    testing::FakePhotos photos;
    InlineReadQueue reads;
    PanelController panel(real, {selection, photos, reads}, nullptr);
    panel.setHasActivePanel(true);
    panel.doExit();
    std::abort();  // not reached when the exit happened at once
}

TEST(PanelExitDeathTest, realProcessEndsAtOnceWithStatusZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(pressExitWithTheRealProcess(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace quillory
