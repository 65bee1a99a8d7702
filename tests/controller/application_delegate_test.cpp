#include <gtest/gtest.h>

#include <vector>

#include "app/application_delegate.h"
#include "program_fixture.h"

namespace quillory {
namespace {

using testing::Program;

TEST(ApplicationLaunch, showsTheIconButCreatesNoPanelController) {
    Program program;
    ASSERT_NE(program.delegate.menubarController(), nullptr);
    EXPECT_EQ(program.sim.statusBar.items().size(), 1u);
    EXPECT_EQ(program.panel(), nullptr);
    EXPECT_FALSE(program.icon());
}

TEST(ApplicationQuit, beforeTheFirstClickRemovesTheIconAndCreatesNothing) {
    Program program;
    program.sim.application.terminate();
    EXPECT_TRUE(program.sim.application.terminated());
    EXPECT_TRUE(program.sim.statusBar.items().empty());
    EXPECT_EQ(program.delegate.menubarController(), nullptr);
    EXPECT_EQ(program.panel(), nullptr);
    EXPECT_EQ(program.delegate.statusItemViewForPanelController(*program.delegate.panelController()),
              nullptr);
}

TEST(ApplicationQuit, afterUseAnswersTerminateNowWithTheIconGone) {
    Program program;
    program.sim.clickStatusItem();
    EXPECT_EQ(program.delegate.applicationShouldTerminate(), platform::TerminateReply::terminateNow);
    EXPECT_TRUE(program.sim.statusBar.items().empty());
    EXPECT_TRUE(program.sim.process.exits().empty());
}

TEST(ApplicationToggle, firstClickCreatesOnePanelControllerAndOneObservation) {
    Program program;
    program.sim.clickStatusItem();
    PanelController* panel = program.panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->delegate(), &program.delegate);
    EXPECT_EQ(panel->observationCount(kHasActivePanelKey), 1u);
    EXPECT_TRUE(panel->hasActivePanel());
    EXPECT_TRUE(program.icon());

    program.sim.clickStatusItem();
    program.sim.clickStatusItem();
    EXPECT_EQ(program.panel(), panel);
    EXPECT_EQ(panel->observationCount(kHasActivePanelKey), 1u);
}

// What the user sees after each step, whatever took the key status away in between; both
// flags always say whether the panel is open, and the menu offers the other state.
TEST(ApplicationToggle, aClickOrTheMenuClosesAnOpenPanelAndOpensAClosedOne) {
    enum Step { click, menu, focusElsewhere, closeButton, closedByWindowManager };
    const struct {
        const char* name;
        std::vector<Step> steps;
        std::vector<bool> open;
    } cases[] = {
        {"clicks alone", {click, click, click, click}, {true, false, true, false}},
        {"focus taken by each click",
         {click, focusElsewhere, click, focusElsewhere, click},
         {true, true, false, false, true}},
        {"close button", {click, closeButton, click, click}, {true, false, true, false}},
        {"closed by the window manager", {click, closedByWindowManager, click}, {true, false, true}},
        {"menu and clicks mixed",
         {menu, click, click, focusElsewhere, menu, menu},
         {true, false, true, true, false, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Program program;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            SCOPED_TRACE(i);
            switch (c.steps[i]) {
                case click:
                    program.sim.clickStatusItem();
                    break;
                case menu:
                    ASSERT_TRUE(
                        program.sim.chooseStatusMenuItem(program.icon() ? "Hide Panel" : "Show Panel"));
                    break;
                case focusElsewhere:
                    program.window()->resignKey();
                    break;
                case closeButton:
                    ASSERT_TRUE(program.window()->pressButton("Close"));
                    break;
                case closedByWindowManager:
                    program.window()->performClose();
                    break;
            }
            program.sim.advance(1.0);
            EXPECT_EQ(program.icon(), c.open[i]);
            EXPECT_EQ(program.panel()->hasActivePanel(), c.open[i]);
            EXPECT_EQ(program.window()->isVisible(), c.open[i]);
            EXPECT_EQ(program.sim.runLoop.liveTimerCount(), c.open[i] ? 1u : 0u);
            EXPECT_EQ(program.window()->alphaValue(), c.open[i] ? 1.0 : 0.0);
            const auto& entries = program.sim.statusItem()->menu();
            ASSERT_EQ(entries.size(), 2u);
            EXPECT_EQ(entries[0].title, c.open[i] ? "Hide Panel" : "Show Panel");
            EXPECT_EQ(entries[1].title, "Quit");
        }
    }
}

TEST(ApplicationToggle, theIconLooksTheSameWhateverThePanelDoes) {
    Program program;
    platform::sim::SimGraphics graphics;
    program.sim.displayPass(graphics);
    program.sim.displayPass(graphics);
    const int requests = program.sim.statusItem()->displayRequests();
    program.sim.clickStatusItem();
    program.sim.clickStatusItem();
    program.panel()->doClose();
    program.sim.advance(1.0);
    EXPECT_EQ(program.sim.statusItem()->displayRequests(), requests);
}

TEST(ApplicationObservation, anotherContextLeavesBothFlagsAlone) {
    Program program;
    program.sim.clickStatusItem();
    program.delegate.menubarController()->setHasActiveIcon(false);
    static const int otherContext = 0;
    program.delegate.observeValueForKeyPath(kHasActivePanelKey, program.panel(), &otherContext);
    EXPECT_FALSE(program.icon());
    EXPECT_TRUE(program.panel()->hasActivePanel());
    program.delegate.observeValueForKeyPath("anything", nullptr, kContextActivePanel);
    EXPECT_TRUE(program.icon());
}

TEST(ApplicationActions, onlyTogglePanelAndExitArePerformed) {
    Program program;
    EXPECT_FALSE(program.sim.application.sendAction("doSomething:", nullptr, nullptr));
    EXPECT_EQ(program.panel(), nullptr);
    EXPECT_TRUE(program.sim.application.sendAction("togglePanel:", nullptr, nullptr));
    EXPECT_NE(program.panel(), nullptr);
    EXPECT_TRUE(program.sim.process.exits().empty());
}

// The menu's Quit is the panel's exit control: status 0 at once, nothing cleaned up first.
TEST(ApplicationActions, quitFromTheMenuEndsLikeTheExitControl) {
    for (bool clicked : {false, true}) {
        Program program;
        if (clicked) program.sim.clickStatusItem();
        ASSERT_TRUE(program.sim.chooseStatusMenuItem("Quit"));
        EXPECT_EQ(program.sim.process.exits(), std::vector{0});
        EXPECT_FALSE(program.sim.application.terminated());
        EXPECT_NE(program.delegate.menubarController(), nullptr);
    }
}

TEST(ApplicationToolTip, namesThePhotoShownLast) {
    const struct {
        std::vector<std::string> selection;
        const char* toolTip;
    } cases[] = {
        {{}, "Quillory"},
        {{"file:///photos/IMG_0042.JPG"}, "Quillory: IMG_0042.JPG"},
        {{"file:///photos/a.jpg", "file:///photos/notes.txt"}, "Quillory"},
        {{"file:///photos/My%20Trip/IMG_1.cr2"}, "Quillory: IMG_1.cr2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.toolTip);
        Program program;
        EXPECT_EQ(program.sim.statusItem()->toolTip(), "Quillory");
        program.selection.items = c.selection;
        program.sim.clickStatusItem();
        program.sim.advance(1.0);
        EXPECT_EQ(program.sim.statusItem()->toolTip(), c.toolTip);
    }
}

}  // namespace
}  // namespace quillory
