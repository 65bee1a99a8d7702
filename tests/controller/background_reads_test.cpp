#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "panel/panel_controller.h"
#include "program_fixture.h"

namespace quillory {
namespace {

using testing::Program;

// Photos that record which previews were decoded.
class SlowPhotos final : public ImageService {
public:
    std::unique_ptr<ImageSource> createWithPath(const std::string& path, std::string*) override {
        opened.push_back(path);
        return std::make_unique<Source>(*this, path);
    }

    std::vector<std::string> opened;
    std::vector<std::string> previews;   // decoded to the end
    std::vector<std::string> abandoned;  // stopped at a check point

private:
    class Source final : public ImageSource {
    public:
        Source(SlowPhotos& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
        std::optional<ImageProperties> copyPropertiesAtIndex0() override { return ImageProperties{}; }
        std::optional<ContainerProperties> copyProperties() override { return ContainerProperties{1000}; }
        std::optional<Bitmap> createThumbnailAtIndex0(const ThumbnailOptions& options) override {
            // Without a stop check a decode overtaken midway could not be abandoned.
            if (!options.shouldStop || options.shouldStop()) return std::nullopt;
            owner_.previews.push_back(path_);
            const auto width = static_cast<int>(path_.size());
            return Bitmap{width, 1, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * 3, 9)};
        }

    private:
        SlowPhotos& owner_;
        std::string path_;
    };
};

// A second program root on the simulated platform whose reads take 0.3 s each, its panel
// opened on a photo.
struct SlowProgram {
    SlowProgram() {
        program.reads.setReadSeconds(0.3);
        program.selection.items = {"file:///p/first.jpg"};
        delegate.applicationDidFinishLaunching();
        delegate.togglePanel(nullptr);
    }
    Program program;
    SlowPhotos photos;
    ApplicationDelegate delegate{program.sim.services(), {program.selection, photos, program.reads}};
};

TEST(BackgroundReads, summaryComesFirstThenThePreviewAndNothingBlocksTheClick) {
    SlowProgram slow;
    Program& program = slow.program;
    SlowPhotos& photos = slow.photos;
    PanelController& panel = *slow.delegate.existingPanelController();
    // The click returns before any file is opened.
    EXPECT_TRUE(photos.opened.empty());
    EXPECT_TRUE(program.reads.busy());
    program.sim.advance(0.31);
    EXPECT_EQ(panel.oExifData()->stringValue().rfind("first.jpg  (1 kB)", 0), 0u);
    EXPECT_TRUE(photos.previews.empty());
    program.sim.advance(0.3);
    EXPECT_EQ(photos.previews, std::vector<std::string>{"/p/first.jpg"});
}

TEST(BackgroundReads, newestSelectionWinsAndOvertakenWorkStops) {
    SlowProgram slow;
    Program& program = slow.program;
    SlowPhotos& photos = slow.photos;
    PanelController& panel = *slow.delegate.existingPanelController();
    program.sim.advance(0.1);
    program.selection.items = {"file:///p/second.jpg"};
    program.sim.advance(0.45);  // the tick at 0.5 s asks for the second photo
    program.sim.advance(2.0);

    EXPECT_EQ(program.sim.log.lines(), std::vector<std::string>{"file change"});
    // The first photo's preview was never decoded: its read was overtaken before it began.
    EXPECT_EQ(photos.previews, std::vector<std::string>{"/p/second.jpg"});
    EXPECT_EQ(panel.oExifData()->stringValue().rfind("second.jpg", 0), 0u);
    EXPECT_EQ(panel.oImage()->isHidden(), false);
    ASSERT_TRUE(panel.oldUrl().has_value());
    EXPECT_EQ(panel.oldUrl()->path(), "/p/second.jpg");
}

TEST(BackgroundReads, aLateResultNeverReplacesTheNoFileMessage) {
    SlowProgram slow;
    Program& program = slow.program;
    SlowPhotos& photos = slow.photos;
    PanelController& panel = *slow.delegate.existingPanelController();
    program.selection.items = {"file:///p/first.jpg", "file:///p/notes.txt"};
    panel.FillPanel();
    program.sim.advance(2.0);
    EXPECT_EQ(panel.oExifData()->stringValue(), "No JPEG / CR2 (RAW) Files selected");
    EXPECT_TRUE(panel.oImage()->isHidden());
    EXPECT_TRUE(photos.previews.empty());
}

TEST(BackgroundReads, resultsArrivingAfterThePanelControllerIsGoneAreDropped) {
    Program program;
    SlowPhotos photos;
    program.reads.setReadSeconds(0.3);
    program.selection.items = {"file:///p/first.jpg"};
    {
        ApplicationDelegate delegate{program.sim.services(), {program.selection, photos, program.reads}};
        delegate.applicationDidFinishLaunching();
        delegate.togglePanel(nullptr);
    }
    program.sim.advance(2.0);  // under the sanitizers, a result applied to the gone panel would fault
    EXPECT_TRUE(photos.opened.empty());
}

}  // namespace
}  // namespace quillory
