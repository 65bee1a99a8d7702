#include <gtest/gtest.h>

#include "inspection/panel_fill.h"
#include "inspection/read_queue.h"
#include "tests/support/fakes.h"

namespace quillory {
namespace {

using testing::FakeImageService;
using testing::FakeSelection;
using testing::RecordingPanel;

constexpr const char* kPhotoA = "file:///p/a.jpg";
constexpr const char* kPhotoB = "file:///p/b.CR2";
constexpr const char* kText = "file:///p/notes.txt";
constexpr const char* kFolder = "file:///p/folder/";

class InspectorTest : public ::testing::Test {
protected:
    InspectorTest() {
        images.addPhoto("/p/a.jpg", "Cam A");
        images.addPhoto("/p/b.CR2", "Cam B");
        inspector.setPanel(&panel);
    }

    // Shows `items` once, then forgets what the views and the fakes recorded.
    void showFirst(std::vector<std::string> items) {
        selection.items = std::move(items);
        inspector.FillPanel();
        reset();
    }
    void reset() {
        logLines.clear();
        images.opened.clear();
        panel.writes = 0;
        selection.queries = 0;
    }
    int fills() const { return static_cast<int>(logLines.size()); }

    FakeSelection selection;
    FakeImageService images;
    RecordingPanel panel;
    std::vector<std::string> logLines;
    std::optional<std::string> version = "1.2";
    InlineReadQueue reads;
    Inspector inspector{{selection, images, reads, [this] { return version; },
                         [this](std::string_view line) { logLines.emplace_back(line); }}};
};

struct TickCase {
    const char* name;
    std::vector<std::string> shownBefore;  // empty: nothing shown since start
    std::vector<std::string> selected;
    int expectedFills;
};

class InspectorTick : public InspectorTest, public ::testing::WithParamInterface<TickCase> {};

TEST_P(InspectorTick, logsAndFillsOnlyForANewPhoto) {
    const TickCase& c = GetParam();
    if (!c.shownBefore.empty()) showFirst(c.shownBefore);
    selection.items = c.selected;
    inspector.timer();
    EXPECT_EQ(fills(), c.expectedFills);
    for (const std::string& line : logLines) EXPECT_EQ(line, "file change");
    EXPECT_EQ(panel.writes > 0, c.expectedFills > 0);

    reset();
    inspector.timer();  // the same selection again never fills
    EXPECT_EQ(fills(), 0);
    EXPECT_TRUE(images.opened.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Selections, InspectorTick,
    ::testing::Values(TickCase{"emptySelection", {kPhotoA}, {}, 0},
                      TickCase{"textFileAfterPhoto", {kPhotoA}, {kText}, 0},
                      TickCase{"samePhotoAgain", {kPhotoA}, {kPhotoA}, 0},
                      TickCase{"samePathOtherSpelling", {kPhotoA}, {"file://localhost/p/a.jpg"}, 0},
                      TickCase{"otherPhoto", {kPhotoA}, {kPhotoB}, 1},
                      TickCase{"firstTickAfterStart", {}, {kPhotoA}, 1},
                      TickCase{"jpegExtensionNeverQualifies", {}, {"file:///p/a.jpeg", "file:///p/a.Jpg"}, 0},
                      TickCase{"remotePhotoNeverQualifies", {}, {"http://host/p/a.jpg"}, 0},
                      TickCase{"invalidStringsSkipped", {}, {"not a url", "file:///p/%zz.jpg"}, 0},
                      TickCase{"folderBesideShownPhoto", {kPhotoA}, {kFolder, kPhotoA}, 0},
                      TickCase{"folderBesideNewPhoto", {kPhotoA}, {kPhotoB, kFolder}, 1},
                      TickCase{"twoPhotosOneFillPerTick", {}, {kPhotoA, kPhotoB}, 1},
                      TickCase{"escapedExtensionQualifies", {}, {"file:///p/a%2Ejpg", kText}, 1},
                      TickCase{"photoBeforeQueryQualifies", {kPhotoB}, {"file:///p/a.jpg?v=1#x"}, 1},
                      TickCase{"folderNamedLikePhoto", {kPhotoA}, {"file:///p/shots.JPG/"}, 1}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(InspectorTest, stableLargeSelectionNeverFillsAgain) {
    std::vector<std::string> many;
    for (int i = 0; i < 1000; ++i) {
        const std::string path = "/p/many/" + std::to_string(i) + ".jpg";
        images.addPhoto(path);
        many.push_back("file://" + path);
    }
    selection.items = many;
    inspector.timer();
    EXPECT_EQ(fills(), 1);
    // Only the photo that stays visible is read, not all thousand.
    EXPECT_EQ(images.opened, std::vector<std::string>{"/p/many/999.jpg"});
    EXPECT_EQ(inspector.oldUrl()->path(), "/p/many/999.jpg");

    reset();
    for (int i = 0; i < 10; ++i) inspector.timer();
    EXPECT_EQ(fills(), 0);
    EXPECT_TRUE(images.opened.empty());
}

struct FillCase {
    const char* name;
    std::vector<std::string> selected;
    bool previewHidden;
    const char* summaryStart;  // start of the text shown afterwards
    const char* oldUrl;        // nullptr: unset
};

class InspectorFill : public InspectorTest, public ::testing::WithParamInterface<FillCase> {};

TEST_P(InspectorFill, showsTheLastItemAndRecordsTheLastPhoto) {
    const FillCase& c = GetParam();
    selection.items = c.selected;
    inspector.FillPanel();
    EXPECT_EQ(panel.version, "Quillory v1.2, reads your photos, never changes them");
    EXPECT_EQ(panel.previewHidden, c.previewHidden);
    EXPECT_EQ(panel.summary.rfind(c.summaryStart, 0), 0u) << panel.summary;
    if (c.oldUrl) {
        ASSERT_TRUE(inspector.oldUrl());
        EXPECT_EQ(inspector.oldUrl()->string(), c.oldUrl);
    } else {
        EXPECT_FALSE(inspector.oldUrl());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Selections, InspectorFill,
    ::testing::Values(
        FillCase{
            "onePhoto", {kPhotoA}, false, "a.jpg  (123 kB) \n6000 x 4000 x 8 RGB \n\nModel Cam A", kPhotoA},
        FillCase{"oneTextFile", {kText}, true, "No JPEG / CR2 (RAW) Files selected", nullptr},
        FillCase{"photoThenText", {kPhotoA, kText}, true, "No JPEG / CR2 (RAW) Files selected", kPhotoA},
        FillCase{"textThenPhoto", {kText, kPhotoA}, false, "a.jpg ", kPhotoA},
        FillCase{"twoPhotos", {kPhotoA, kPhotoB}, false, "b.CR2 ", kPhotoB},
        FillCase{"invalidStringLast", {kPhotoA, "bad url"}, true, "No JPEG", kPhotoA},
        FillCase{"emptySelection", {}, false, "previous text", nullptr},
        FillCase{"unreadablePhoto",
                 {"file:///gone/x.JPG"},
                 false,
                 "x.JPG  (0 kB) \n(null) x (null) x (null) (null) \n\n\n\n/gone",
                 "file:///gone/x.JPG"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(InspectorTest, noFileMessageKeepsRecordedPhoto) {
    showFirst({kPhotoA});
    selection.items = {kText};
    inspector.FillPanel();
    EXPECT_EQ(inspector.oldUrl()->string(), kPhotoA);
    EXPECT_TRUE(images.opened.empty());
}

TEST_F(InspectorTest, showsThumbnailOrNoStalePicture) {
    selection.items = {kPhotoA};
    inspector.FillPanel();
    ASSERT_TRUE(panel.picture);
    EXPECT_EQ(panel.picture->width, 2);

    images.files["/p/a.jpg"].thumbnail.reset();  // the file no longer decodes
    selection.items = {kPhotoB};
    inspector.FillPanel();
    selection.items = {kPhotoA};
    inspector.FillPanel();
    EXPECT_FALSE(panel.previewHidden);
    EXPECT_FALSE(panel.picture);

    showFirst({kPhotoB});
    selection.items = {"file:///gone/x.jpg"};  // unreadable: neither text nor picture of the last photo
    inspector.FillPanel();
    EXPECT_FALSE(panel.picture);
    EXPECT_EQ(panel.summary.find("Cam B"), std::string::npos);
}

TEST_F(InspectorTest, withoutPanelSkipsWritesButRecordsPhoto) {
    inspector.setPanel(nullptr);
    selection.items = {kPhotoA};
    inspector.FillPanel();
    EXPECT_EQ(panel.writes, 0);
    EXPECT_EQ(selection.queries, 1);
    EXPECT_EQ(inspector.oldUrl()->string(), kPhotoA);
    inspector.updateText(*Url::fromString(kPhotoA));
    EXPECT_EQ(panel.writes, 0);
}

TEST_F(InspectorTest, versionLabelShowsNullWithoutVersion) {
    version.reset();
    inspector.FillPanel();
    EXPECT_EQ(panel.version, "Quillory v(null), reads your photos, never changes them");
    EXPECT_EQ(versionLabel(std::string("1.2")).rfind("Quillory v1.2, ", 0), 0u);
}

TEST_F(InspectorTest, updateTextReplacesSummaryOnly) {
    inspector.updateText(*Url::fromString(kPhotoB));
    EXPECT_EQ(panel.summary.rfind("b.CR2  (123 kB) ", 0), 0u);
    EXPECT_FALSE(panel.pictureSet);
    EXPECT_FALSE(inspector.oldUrl());
}

}  // namespace
}  // namespace quillory
