// The application delegate and the menu-bar controller on the simulated platform.
#include <gtest/gtest.h>

#include "app/application_delegate.h"
#include "program_fixture.h"

namespace quillory {

using testing::Program;

TEST(Application, launchShowsTheIconAndQuitBeforeAClickCreatesNothing) {
    Program program;
    EXPECT_EQ(program.sim.items.size(), 1u);
    EXPECT_FALSE(program.icon());
    EXPECT_FALSE(program.sim.sendAction("doSomething:", nullptr, nullptr));
    program.sim.terminate();
    EXPECT_TRUE(program.sim.terminated);
    EXPECT_TRUE(program.sim.items.empty());
    EXPECT_EQ(program.delegate.menubarController(), nullptr);
    EXPECT_EQ(program.panel(), nullptr);
}

// One panel controller and one observation however often the icon is clicked; an observation
// in another context leaves the icon alone.
TEST(Application, firstClickCreatesOnePanelControllerThatItObserves) {
    Program program;
    for (int click = 0; click < 3; ++click) program.sim.clickStatusItem();
    program.sim.advance(1.0);
    PanelController* panel = program.panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->observationCount(kHasActivePanelKey), 1u);
    EXPECT_TRUE(program.icon() && panel->hasActivePanel());
    program.delegate.menubarController()->setHasActiveIcon(false);
    static const int otherContext = 0;
    program.delegate.observeValueForKeyPath(kHasActivePanelKey, panel, &otherContext);
    EXPECT_FALSE(program.icon());
    panel->setHasActivePanel(true);  // opens nothing, but its observers hear of it
    EXPECT_TRUE(program.icon());
    EXPECT_EQ(program.window().alpha, 1.0);
    EXPECT_EQ(program.delegate.applicationShouldTerminate(), platform::TerminateReply::terminateNow);
    EXPECT_TRUE(program.sim.items.empty());
}

// Mended: a click or the menu closes an open panel and opens a closed one, whatever took the
// key status away in between; both flags say whether it is open, the menu offers the other
// state, polling runs only while it is open, and the icon looks the same throughout.
TEST(Application, aClickOrTheMenuClosesAnOpenPanelAndOpensAClosedOne) {
    enum Step { click, menu, focusElsewhere, closeButton, closedByWindowManager };
    const struct {
        std::vector<Step> steps;
        std::vector<bool> open;
    } cases[] = {
        {{click, click, click}, {true, false, true}},
        {{click, focusElsewhere, click, focusElsewhere, click}, {true, true, false, false, true}},
        {{click, closeButton, click, click}, {true, false, true, false}},
        {{click, closedByWindowManager, click}, {true, false, true}},
        {{menu, click, click, focusElsewhere, menu, menu}, {true, false, true, true, false, true}},
    };
    for (const auto& c : cases) {
        Program program;
        platform::sim::SimGraphics graphics;
        program.sim.displayPass(graphics);
        program.sim.displayPass(graphics);
        const int redraws = program.sim.statusItem()->displayRequests;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            SCOPED_TRACE(::testing::Message() << "case " << &c - cases << ", step " << i);
            if (c.steps[i] == click) program.sim.clickStatusItem();
            if (c.steps[i] == menu)
                program.sim.chooseStatusMenuItem(program.icon() ? "Hide Panel" : "Show Panel");
            if (c.steps[i] == focusElsewhere) program.window().resignKey();
            if (c.steps[i] == closeButton) program.window().buttons.at("Close")();
            if (c.steps[i] == closedByWindowManager) program.window().performClose();
            const int queries = program.selection.queries;
            program.sim.advance(1.0);
            EXPECT_EQ(program.selection.queries > queries, c.open[i]);
            EXPECT_EQ(program.icon(), c.open[i]);
            EXPECT_EQ(program.panel()->hasActivePanel(), c.open[i]);
            EXPECT_EQ(program.window().visible, c.open[i]);
            EXPECT_EQ(program.window().alpha, c.open[i] ? 1.0 : 0.0);
            const auto& entries = program.sim.statusItem()->menu;
            ASSERT_EQ(entries.size(), 2u);
            EXPECT_EQ(entries[0].title, c.open[i] ? "Hide Panel" : "Show Panel");
            EXPECT_EQ(entries[1].title, "Quit");
            EXPECT_EQ(program.sim.statusItem()->displayRequests, redraws);
        }
    }
}

TEST(Application, theToolTipNamesThePhotoShownLast) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "Quillory"},
        {{"file:///photos/IMG_0042.JPG"}, "Quillory: IMG_0042.JPG"},
        {{"file:///photos/a.jpg", "file:///photos/notes.txt"}, "Quillory"},
        {{"file:///photos/My%20Trip/IMG_1.cr2"}, "Quillory: IMG_1.cr2"}};
    for (const auto& [selection, toolTip] : cases) {
        Program program;
        program.selection.items = selection;
        program.sim.clickStatusItem();
        program.sim.advance(1.0);
        EXPECT_EQ(program.sim.statusItem()->toolTip, toolTip);
    }
}

// Its own item, 24 wide, with the icon for the interface style centred; ending removes that
// item and no other.
TEST(Menubar, showsTheIconForTheStyleAndRemovesOnlyItsOwnItem) {
    platform::sim::SimPlatform sim;
    const auto other = sim.statusItemWithLength(30.0);
    std::optional<MenubarController> menubar{std::in_place, sim.services()};
    EXPECT_EQ(sim.statusItem()->length(), 24.0);
    for (auto [style, image] : {std::pair{"", "Icon"}, {"Dark", "IconHighlighted"}, {"dark", "Icon"}}) {
        sim.style = style;
        menubar->statusItemView()->setNeedsDisplay(true);
        platform::sim::SimGraphics graphics;
        sim.displayPass(graphics);
        EXPECT_EQ(graphics.images,
                  (std::vector{std::pair{sim.imageNamed(image).get(), platform::Point{4, 3}}}));
    }
    menubar.reset();
    ASSERT_EQ(sim.items.size(), 1u);
    EXPECT_EQ(sim.items[0], other);
}

}  // namespace quillory
