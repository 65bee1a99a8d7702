// Reads off the UI thread, on the simulated clock: the click never waits for a file, the summary
// comes before the preview, and the newest selection wins.
#include <gtest/gtest.h>

#include "program_fixture.h"

namespace quillory {

// The program with reads of 0.3 s each, its panel opened by a click on a photo.
struct SlowProgram : testing::Program {
    SlowProgram() {
        reads.readSeconds = 0.3;
        selection.items = {"file:///photos/a.jpg"};
        sim.clickStatusItem();
    }
    std::string summary() { return panel()->oExifData()->stringValue(); }
};

TEST(BackgroundReads, summaryComesFirstThenThePreviewAndNothingBlocksTheClick) {
    SlowProgram program;
    EXPECT_TRUE(program.photos.opened.empty());
    program.sim.advance(0.31);
    EXPECT_EQ(program.summary().rfind("a.jpg  (", 0), 0u);
    EXPECT_EQ(program.photos.previews, 0);
    program.sim.advance(0.3);
    EXPECT_EQ(program.photos.previews, 1);
}

// The first photo's preview is never decoded: its read is overtaken before it begins.
TEST(BackgroundReads, newestSelectionWinsAndOvertakenWorkStops) {
    SlowProgram program;
    program.sim.advance(0.1);
    program.selection.items = {"file:///photos/b.jpg"};
    program.sim.advance(2.45);           // the tick at 0.5 s asks for the second photo
    EXPECT_EQ(program.sim.logCount, 1);  // "file change"
    EXPECT_EQ(program.photos.previews, 1);
    EXPECT_EQ(program.summary().rfind("b.jpg", 0), 0u);
    EXPECT_FALSE(program.window().imageViews.at(0).hidden);
}

TEST(BackgroundReads, aLateResultNeverReplacesTheNoFileMessage) {
    SlowProgram program;
    program.selection.items = {"file:///photos/a.jpg", "file:///photos/notes.txt"};
    program.panel()->FillPanel();
    program.sim.advance(2.0);
    EXPECT_EQ(program.summary(), "No JPEG / CR2 (RAW) Files selected");
    EXPECT_EQ(program.photos.previews, 0);
}

TEST(BackgroundReads, resultsArrivingAfterThePanelControllerIsGoneAreDropped) {
    testing::Program program;
    program.reads.readSeconds = 0.3;
    program.selection.items = {"file:///photos/a.jpg"};
    {
        ApplicationDelegate delegate{program.sim.services(),
                                     {program.selection, program.photos, program.reads}};
        delegate.applicationDidFinishLaunching();
        delegate.togglePanel(nullptr);
    }
    program.sim.advance(2.0);  // under the sanitizers, a result applied to the gone panel would fault
    EXPECT_TRUE(program.photos.opened.empty());
}

}  // namespace quillory
