#include <gtest/gtest.h>

#include "inspection/panel_fill.h"
#include "inspection/summary.h"
#include "platform/imageio/image_service_factory.h"
#include "tests/support/fakes.h"
#include "tests/support/support.h"

namespace quillory {
namespace {

// A photo with every value, then photos that lack what "lacks" names ("image", "exif", "date",
// "model") or carry "plain" or "dirty" values.
TEST(Summary, showsEveryLineAndLeavesOutWhatIsAbsent) {
    const std::tuple<std::string, std::optional<std::int64_t>, std::string, std::string> rows[] = {
        {"/Photos/2015/IMG_0042.JPG", 5'123'456, "",
         "IMG_0042.JPG  (5123 kB) \n6000 x 4000 x 8 RGB \n\nTaken on 2015:07:04 09:30:00 \n"
         "Model Demo Cam \n50mm 1/200s F2.8 ISO 100\n\n/Photos/2015"},
        {"/p/a.jpg", 1'023'999, "model",
         "a.jpg  (1023 kB) \n6000 x 4000 x 8 RGB \n\nTaken on 2015:07:04 09:30:00 \n\n\n/p"},
        {"/p/a.jpg", 1000, "date model", "a.jpg  (1 kB) \n6000 x 4000 x 8 RGB \n\n\n\n/p"},
        {"/p/a.jpg", 9'000'000'000'000, "exif",
         "a.jpg  (9000000000 kB) \n6000 x 4000 x 8 RGB \n\nModel Demo Cam \n(null)mm (null)s F(null) ISO "
         "0\n\n/p"},
        // No date, numbers in plain decimal, only the first ISO value.
        {"/p/a.jpg", 999, "plain",
         "a.jpg  (0 kB) \n6000 x 4000 x 8 RGB \n\nModel Demo Cam \n100000mm 1/1000000000s F0.0001 ISO "
         "200\n\n/p"},
        {"/My Photo.JPG", std::nullopt, "image",
         "My Photo.JPG  (0 kB) \n(null) x (null) x (null) (null) \n\n\n\n/"},
        {"/", 0, "image", "/  (0 kB) \n(null) x (null) x (null) (null) \n\n\n\n/"},
        // Text from the file and the path cannot add lines or reach the terminal.
        {"/P\nx/a\x1B.jpg", 5'123'456, "dirty",
         "a\uFFFD.jpg  (5123 kB) \n6000 x 4000 x 8 RGB\uFFFD \n\nTaken on 2015\uFFFD\uFFFD \n"
         "Model Canon \uFFFD]0;PWNED\uFFFD X\uFFFDTaken on 1999 \n50mm 1/200s F2.8 ISO 100\n\n/P\uFFFDx"}};
    for (const auto& [path, bytes, lacks, text] : rows) {
        std::optional<ImageProperties> image = testing::demoImage();
        image->exif = ExifProperties{"2015:07:04 09:30:00", 0.005, 2.8, 50, std::vector<std::int64_t>{100}};
        const auto has = [&lacks = lacks](const char* word) { return lacks.find(word) != std::string::npos; };
        if (has("date")) image->exif->dateTimeOriginal.reset();
        if (has("model")) image->tiff->model.reset();
        if (has("plain"))
            image->exif = ExifProperties{{}, 1e-9, 0.0001, 100000, std::vector<std::int64_t>{200, 400}};
        if (has("exif")) image->exif.reset();
        if (has("image")) image.reset();
        if (has("dirty")) {
            image->tiff->model = "Canon \x1B]0;PWNED\x07 X\nTaken on 1999";
            image->exif->dateTimeOriginal = "2015\r\n";
            image->colorModel = "RGB\n";
        }
        const auto container = bytes ? std::optional(ContainerProperties{*bytes}) : std::nullopt;
        EXPECT_EQ(composeSummary(path, container, image), text);
    }
}

// Exposures round to a whole reciprocal, keep the camera's tenths above 1/10 s, and show
// seconds from 1 s.
TEST(SummaryExposure, roundsToAWholeReciprocal) {
    const std::pair<std::optional<double>, const char*> exposures[] = {
        {1.0 / 250, "1/250"},    {1.0 / 60, "1/60"},   {0.125, "1/8"},  {0.769, "1/1.3"},
        {0.4, "1/2.5"},          {0.99999, "1"},       {2.0, "2"},      {1.3, "1.3"},
        {1e-9, "1/1000000000"},  {100000.0, "100000"}, {0.0, "(null)"}, {-1.0, "(null)"},
        {std::nullopt, "(null)"}};
    for (const auto& [seconds, text] : exposures) EXPECT_EQ(formatExposure(seconds), text) << text;
}

// Kept: é, NBSP, U+10FFFF. Replaced: C0, DEL and C1; Latin-1 and a sequence cut short; overlong
// forms; a surrogate; past U+10FFFF; stray continuation bytes.
TEST(SummaryCleaning, replacesControlsAndInvalidUtf8WithReplacementCharacter) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"\xC3\xA9\xC2\xA0\xF4\x8F\xBF\xBF", "\xC3\xA9\xC2\xA0\xF4\x8F\xBF\xBF"},
        {std::string_view("\n\0\x1F\x7F\xC2\x80\xC2\x9F", 8), "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"lat\xE9 \xE2\x82x", "lat\uFFFD \uFFFDx"},
        {"\xC0\xAF\xE0\x80\xAF", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},
        {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\x80\xBF", "\uFFFD\uFFFD"}};
    for (const auto& [raw, clean] : cases) EXPECT_EQ(cleanText(raw), clean) << ::testing::PrintToString(raw);
}

constexpr const char* kA = "file:///p/a.jpg";
constexpr const char* kB = "file:///p/b.CR2";
constexpr const char* kText = "file:///p/notes.txt";
constexpr const char* kOtherB = "file://localhost/p/b.CR2";

struct FillCase {
    const char* name;
    std::vector<std::string> selected;
    int fills;  // by three ticks
    std::string_view shows;
    bool picture;
    const char* oldUrl;
};

// Ticks fill once, and only for a photo other than the one shown; a fill shows the last item,
// records the last photo, and reads only the photo it shows. updateText: shows a summary.
TEST(InspectorFill, showsTheLastItemAndRecordsTheLastPhoto) {
    const FillCase cases[] = {
        {"emptySelection", {}, 0, "b.CR2 ", true, kB},
        {"oneTextFile", {kText}, 0, kNoFileMessage, true, kB},
        {"samePathOtherSpelling", {kOtherB}, 0, "b.CR2 ", true, kOtherB},
        {"folderBesideShownPhoto", {"file:///p/folder/", kB}, 0, "b.CR2 ", true, kB},
        {"otherPhoto", {kA}, 1, "a.jpg  (123 kB) \n6000 x 4000 x 8 RGB \n\nModel Cam A", true, kA},
        {"photoThenText", {kA, kText}, 1, kNoFileMessage, true, kA},
        {"textThenPhoto", {kText, kA}, 1, "a.jpg ", true, kA},
        {"twoPhotos", {kB, kA}, 1, "a.jpg ", true, kA},
        {"invalidStringLast", {kA, "bad url"}, 1, kNoFileMessage, true, kA},
        {"unreadablePhoto", {"file:///gone/x.JPG"}, 1, "x.JPG  (0 kB) ", false, "file:///gone/x.JPG"},
        {"thousandItems", std::vector<std::string>(1000, kA), 1, "a.jpg ", true, kA}};
    for (const FillCase& c : cases) {
        SCOPED_TRACE(c.name);
        testing::FakeSelection selection;
        testing::FakeImageService images;
        images.addPhoto("/p/a.jpg", "Cam A");
        images.addPhoto("/p/b.CR2", "Cam B");
        testing::RecordingPanel panel;
        std::vector<std::string> log;
        InlineReadQueue reads;
        Inspector inspector({selection, images, reads, []() -> std::optional<std::string> { return "1.2"; },
                             [&](std::string_view line) { log.emplace_back(line); }});
        inspector.setPanel(&panel);
        selection.items = {kB};  // shown first
        inspector.FillPanel();
        images.opened.clear();

        selection.items = c.selected;
        for (int tick = 0; tick < 3; ++tick) inspector.timer();
        EXPECT_EQ(log, std::vector<std::string>(c.fills, "file change"));
        inspector.FillPanel();
        EXPECT_EQ(panel.version, "Quillory v1.2, reads your photos, never changes them");
        EXPECT_EQ(panel.summary.rfind(c.shows, 0), 0u) << panel.summary;
        EXPECT_EQ(panel.previewHidden, c.shows == kNoFileMessage);
        EXPECT_EQ(panel.picture != nullptr, c.picture);
        EXPECT_EQ(inspector.oldUrl()->string(), c.oldUrl);
        EXPECT_LE(images.opened.size(), 2u);
        for (const std::string& path : images.opened) EXPECT_EQ(path, inspector.oldUrl()->path());
        panel.writes = 0;
        inspector.updateText(*Url::fromString(kA));  // writes the summary alone
        EXPECT_EQ(panel.summary.rfind("a.jpg  (123 kB) ", 0), 0u);
        EXPECT_EQ(panel.writes, 1);
    }
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
