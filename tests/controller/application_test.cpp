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
// state, and polling runs only while it is open.
TEST(Application, aClickOrTheMenuClosesAnOpenPanelAndOpensAClosedOne) {
    // Steps: c click, m the menu's entry, f focus taken elsewhere, x the Close button, w closed by
    // the window manager; then whether the panel is open after each.
    const std::pair<std::string, std::string> cases[] = {
        {"ccc", "101"}, {"cfcfc", "11001"}, {"cxcc", "1010"}, {"cwc", "101"}, {"mccfmm", "101101"}};
    for (const auto& [steps, open] : cases) {
        Program program;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            SCOPED_TRACE(steps.substr(0, i + 1));
            if (steps[i] == 'c') program.sim.clickStatusItem();
            if (steps[i] == 'm')
                program.sim.chooseStatusMenuItem(program.icon() ? "Hide Panel" : "Show Panel");
            if (steps[i] == 'f') program.window().resignKey();
            if (steps[i] == 'x') program.window().buttons.at("Close")();
            if (steps[i] == 'w') program.window().performClose();
            const int queries = program.selection.queries;
            program.sim.advance(1.0);
            const bool shown = open[i] == '1';
            EXPECT_EQ(program.selection.queries > queries, shown);
            EXPECT_EQ(program.icon(), shown);
            EXPECT_EQ(program.panel()->hasActivePanel(), shown);
            EXPECT_EQ(program.window().visible, shown);
            EXPECT_EQ(program.window().alpha, shown ? 1.0 : 0.0);
            EXPECT_EQ(program.sim.statusItem()->menu.at(0).title, shown ? "Hide Panel" : "Show Panel");
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
    const int redraws = sim.statusItem()->displayRequests;
    menubar->setHasActiveIcon(true);  // changes nothing on screen
    EXPECT_EQ(sim.statusItem()->displayRequests, redraws);
    menubar.reset();
    ASSERT_EQ(sim.items.size(), 1u);
    EXPECT_EQ(sim.items[0], other);
}

}  // namespace quillory
