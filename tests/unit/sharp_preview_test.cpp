#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "inspection/panel_fill.h"
#include "inspection/read_queue.h"

namespace quillory {
namespace {

// One photo: its embedded preview is `embedded` px wide, its main image `main` px wide; a
// decode from the main image gives the size asked for.
class Photo final : public ImageService, public SelectionQuery {
public:
    Photo(int embedded, int main) : embedded_(embedded), main_(main) {}
    std::vector<std::string> selection() override { return {"file:///p/a.jpg"}; }
    std::unique_ptr<ImageSource> createWithPath(const std::string&, std::string*) override {
        return std::make_unique<Source>(*this);
    }
    std::vector<int> decodes;  // the width each preview was asked for; 0: the embedded one

private:
    class Source final : public ImageSource {
    public:
        explicit Source(Photo& photo) : photo_(photo) {}
        std::optional<ImageProperties> copyPropertiesAtIndex0() override {
            ImageProperties image;
            image.pixelWidth = photo_.main_;
            image.pixelHeight = photo_.main_ * 3 / 4;
            return image;
        }
        std::optional<ContainerProperties> copyProperties() override { return ContainerProperties{1}; }
        std::optional<Bitmap> createThumbnailAtIndex0(const ThumbnailOptions& options) override {
            const bool main = options.createThumbnailFromImageAlways;
            photo_.decodes.push_back(main ? options.thumbnailMaxPixelSize : 0);
            const int width = main ? std::min(options.thumbnailMaxPixelSize, photo_.main_) : photo_.embedded_;
            return Bitmap{width, width * 3 / 4,
                          std::vector<std::uint8_t>(static_cast<std::size_t>(width) * 3, 1)};
        }

    private:
        Photo& photo_;
    };
    int embedded_;
    int main_;
};

class Panel final : public PanelContent {
public:
    explicit Panel(int area) : area_(area) {}
    void setVersionText(const std::string&) override {}
    void setSummaryText(const std::string&) override {}
    void setPreviewHidden(bool) override {}
    void setPreviewPicture(std::shared_ptr<const Bitmap> picture) override {
        if (picture) shown.push_back(picture->width);
    }
    int previewPixelSize() const override { return area_; }
    std::vector<int> shown;  // widths of the pictures shown, in order

private:
    int area_;
};

struct SharpCase {
    const char* name;
    int area;      // device pixels
    int embedded;  // embedded preview width
    int main;      // main image width
    std::vector<int> decodes;
    std::vector<int> shown;
};

class SharpPreview : public ::testing::TestWithParam<SharpCase> {};

TEST_P(SharpPreview, aSmallPreviewIsShownAtOnceThenReplacedByASharperOne) {
    const SharpCase& c = GetParam();
    Photo photo(c.embedded, c.main);
    Panel panel(c.area);
    InlineReadQueue reads;
    Inspector inspector({photo, photo, reads, {}, {}});
    inspector.setPanel(&panel);
    inspector.FillPanel();
    EXPECT_EQ(photo.decodes, c.decodes);
    EXPECT_EQ(panel.shown, c.shown);
}

INSTANTIATE_TEST_SUITE_P(Rows, SharpPreview,
                         ::testing::Values(SharpCase{"twoTimesScreen", 560, 160, 6000, {0, 500}, {160, 500}},
                                           SharpCase{
                                               "areaBelowTheLimit", 320, 160, 6000, {0, 320}, {160, 320}},
                                           SharpCase{"embeddedLargeEnough", 280, 320, 6000, {0}, {320}},
                                           SharpCase{"mainImageNoLarger", 560, 160, 160, {0}, {160}},
                                           SharpCase{"areaUnknown", 0, 160, 6000, {0}, {160}}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillory
