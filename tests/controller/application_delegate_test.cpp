#include <gtest/gtest.h>

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

TEST(ApplicationToggle, clicksAlternateBothFlagsAndEveryYesOpensAfresh) {
    Program program;
    const bool expected[] = {true, false, true, false, true};
    std::size_t openings = 0;
    for (bool flag : expected) {
        program.sim.clickStatusItem();
        program.sim.advance(0.3);
        EXPECT_EQ(program.icon(), flag);
        EXPECT_EQ(program.panel()->hasActivePanel(), flag);
        if (flag) ++openings;
        EXPECT_EQ(program.sim.animation.groupDurations().size(), openings);
        EXPECT_TRUE(program.window()->isVisible());  // a click never hides the panel
    }
}

TEST(ApplicationToggle, panelClearingItsFlagClearsTheIconAndOneClickReopens) {
    Program program;
    program.sim.clickStatusItem();
    program.window()->resignKey();
    EXPECT_FALSE(program.icon());
    program.sim.clickStatusItem();
    EXPECT_TRUE(program.icon());
    EXPECT_TRUE(program.panel()->hasActivePanel());
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

TEST(ApplicationActions, onlyTogglePanelIsPerformed) {
    Program program;
    EXPECT_FALSE(program.sim.application.sendAction("doSomething:", nullptr, nullptr));
    EXPECT_EQ(program.panel(), nullptr);
    EXPECT_TRUE(program.sim.application.sendAction("togglePanel:", nullptr, nullptr));
    EXPECT_NE(program.panel(), nullptr);
}

}  // namespace
}  // namespace quillory
