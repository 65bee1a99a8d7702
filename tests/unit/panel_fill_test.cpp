#include <gtest/gtest.h>

#include "inspection/panel_fill.h"
#include "platform/imageio/image_service_factory.h"
#include "tests/support/fakes.h"
#include "tests/support/support.h"

namespace quillory {
namespace {

constexpr const char* kA = "file:///p/a.jpg";
constexpr const char* kB = "file:///p/b.CR2";
constexpr const char* kText = "file:///p/notes.txt";
constexpr const char* kFolder = "file:///p/folder/";
constexpr std::string_view kNoFile = kNoFileMessage;

std::vector<std::string> thousandPhotos() {
    std::vector<std::string> many;
    for (int i = 0; i < 1000; ++i) many.push_back("file:///p/many/" + std::to_string(i) + ".jpg");
    return many;
}

// b.CR2 is shown; a.jpg and b.CR2 are readable photos, c.jpg one that does not decode.
class Inspection : public ::testing::Test {
protected:
    Inspection() {
        images.addPhoto("/p/a.jpg", "Cam A");
        images.addPhoto("/p/b.CR2", "Cam B");
        images.addPhoto("/p/c.jpg");
        images.files["/p/c.jpg"].thumbnail.reset();
        inspector.setPanel(&panel);
        selection.items = {kB};
        inspector.FillPanel();
        images.opened.clear();
    }

    testing::FakeSelection selection;
    testing::FakeImageService images;
    testing::RecordingPanel panel;
    std::vector<std::string> log;
    std::optional<std::string> version = "1.2";
    InlineReadQueue reads;
    Inspector inspector{{selection, images, reads, [this] { return version; },
                         [this](std::string_view l) { log.emplace_back(l); }}};
};

struct FillCase {
    const char* name;
    std::vector<std::string> selected;
    int fills;  // by three ticks
    std::string_view shows;
    bool picture;
    const char* oldUrl;
};

class InspectorFill : public Inspection, public ::testing::WithParamInterface<FillCase> {};

// Ticks fill once, and only for a photo other than the one shown; a fill shows the last item,
// records the last photo, and reads only the photo it shows.
TEST_P(InspectorFill, showsTheLastItemAndRecordsTheLastPhoto) {
    const FillCase& c = GetParam();
    selection.items = c.selected;
    for (int tick = 0; tick < 3; ++tick) inspector.timer();
    EXPECT_EQ(log, std::vector<std::string>(c.fills, "file change"));
    inspector.FillPanel();
    EXPECT_EQ(panel.version, "Quillory v1.2, reads your photos, never changes them");
    EXPECT_EQ(panel.summary.rfind(c.shows, 0), 0u) << panel.summary;
    EXPECT_EQ(panel.previewHidden, c.shows == kNoFile);
    EXPECT_EQ(panel.picture != nullptr, c.picture);
    EXPECT_EQ(inspector.oldUrl()->string(), c.oldUrl);
    EXPECT_LE(images.opened.size(), 2u);
    for (const std::string& path : images.opened) EXPECT_EQ(path, inspector.oldUrl()->path());
}

INSTANTIATE_TEST_SUITE_P(
    Selections, InspectorFill,
    ::testing::Values(
        FillCase{"emptySelection", {}, 0, "b.CR2 ", true, kB},
        FillCase{"oneTextFile", {kText}, 0, kNoFile, true, kB},
        FillCase{"samePhotoAgain", {kB}, 0, "b.CR2 ", true, kB},
        FillCase{"samePathOtherSpelling",
                 {"file://localhost/p/b.CR2"},
                 0,
                 "b.CR2 ",
                 true,
                 "file://localhost/p/b.CR2"},
        FillCase{"folderBesideShownPhoto", {kFolder, kB}, 0, "b.CR2 ", true, kB},
        FillCase{"otherPhoto", {kA}, 1, "a.jpg  (123 kB) \n6000 x 4000 x 8 RGB \n\nModel Cam A", true, kA},
        FillCase{"photoThenText", {kA, kText}, 1, kNoFile, true, kA},
        FillCase{"photoThenFolder", {kA, kFolder}, 1, kNoFile, true, kA},
        FillCase{"textThenPhoto", {kText, kA}, 1, "a.jpg ", true, kA},
        FillCase{"twoPhotos", {kB, kA}, 1, "a.jpg ", true, kA},
        FillCase{"invalidStringLast", {kA, "bad url"}, 1, kNoFile, true, kA},
        FillCase{"undecodablePhoto", {"file:///p/c.jpg"}, 1, "c.jpg  (123 kB) ", false, "file:///p/c.jpg"},
        FillCase{"unreadablePhoto", {"file:///gone/x.JPG"}, 1, "x.JPG  (0 kB) ", false, "file:///gone/x.JPG"},
        FillCase{"thousandPhotos", thousandPhotos(), 1, "999.jpg ", false, "file:///p/many/999.jpg"}),
    [](const auto& p) { return std::string(p.param.name); });

// Without views the fill reads nothing but still records the photo; updateText: writes the
// summary alone.
TEST_F(Inspection, withoutViewsRecordsThePhotoAndUpdateTextWritesOnlyTheSummary) {
    version.reset();
    inspector.setPanel(nullptr);
    panel.writes = 0;
    selection.items = {kText, kA};
    inspector.FillPanel();
    inspector.updateText(*Url::fromString(kA));
    EXPECT_EQ(panel.writes, 0);
    EXPECT_TRUE(images.opened.empty());
    EXPECT_EQ(inspector.oldUrl()->string(), kA);

    inspector.setPanel(&panel);
    inspector.updateText(*Url::fromString(kA));
    EXPECT_EQ(panel.summary.rfind("a.jpg  (123 kB) ", 0), 0u);
    EXPECT_EQ(panel.writes, 1);
    inspector.FillPanel();
    EXPECT_EQ(panel.version, "Quillory v(null), reads your photos, never changes them");
}

// Views whose preview area is `area` device pixels, recording what they show.
struct DenseScreen final : PanelContent {
    void setVersionText(const std::string&) override {}
    void setSummaryText(const std::string&) override { shown += "text"; }
    void setPreviewHidden(bool) override {}
    void setPreviewPicture(std::shared_ptr<const Bitmap> p) override {
        if (p) shown += " " + std::to_string(p->width) + "x" + std::to_string(p->height);
    }
    int previewPixelSize() const override { return area; }
    int area = 0;
    std::string shown;
};

// The summary first, then the preview; a preview smaller than its area is replaced by one
// decoded from the main image at the area's size, at most 500 px, when that has more pixels.
TEST(SharpPreview, aSmallPreviewIsShownAtOnceThenReplacedByASharperOne) {
    const std::tuple<int, const char*, const char*> rows[] = {
        {560, "jpeg/o6-thumbnail.jpg", "text 160x120 400x300"},  // 160 px thumbnail of 400 px
        {320, "jpeg/o6-thumbnail.jpg", "text 160x120 320x240"},
        {160, "jpeg/o6-thumbnail.jpg", "text 160x120"},
        {0, "jpeg/o6-thumbnail.jpg", "text 160x120"},       // area unknown
        {560, "jpeg/thumbnail-larger.jpg", "text 100x75"},  // already the main image
        {1000, "jpeg/o6-600x800.jpg", "text 375x500"}};
    const auto images = imageio::makeImageService();
    for (const auto& [area, file, shown] : rows) {
        testing::FakeSelection selection;
        selection.items = {Url::fromLocalPath(support::data(file).string()).string()};
        InlineReadQueue reads;
        DenseScreen screen;
        screen.area = area;
        Inspector inspector({selection, *images, reads, {}, {}});
        inspector.setPanel(&screen);
        inspector.FillPanel();
        EXPECT_EQ(screen.shown, shown) << file << " in " << area;
    }
}

}  // namespace
}  // namespace quillory
