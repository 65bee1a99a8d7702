#include <gtest/gtest.h>

#include "platform/imageio/image_service_factory.h"
#include "tests/imageio/fixtures.h"

namespace quillory {
namespace {

using fixtures::Bytes;
using fixtures::Cr2Fields;
using fixtures::kBlue;
using fixtures::kGreen;
using fixtures::kRed;
using fixtures::kUpright;
using fixtures::kWhite;

struct Read {
    std::optional<ImageProperties> properties;
    std::optional<Bitmap> preview;
};

Read readCr2(const Cr2Fields& fields) {
    const fixtures::TempDir dir;
    const auto source =
        imageio::makeImageService()->createWithPath(dir.write("IMG_0001.CR2", fixtures::buildCr2(fields)));
    if (!source) return {};
    return {source->copyPropertiesAtIndex0(), source->createThumbnailAtIndex0(kThumbnailOptions)};
}

// Orientation 6: the camera was turned, so the pictures are stored turned left.
constexpr fixtures::Quadrants kStoredTurned{kGreen, kWhite, kRed, kBlue};
Bytes storedJpeg(int uprightWidth, int uprightHeight) {
    return fixtures::encodeJpeg(fixtures::quadrantPicture(uprightHeight, uprightWidth, kStoredTurned));
}

TEST(Cr2Reader, describesFullRawImageNotItsPreview) {
    for (const int precision : {12, 14}) {
        SCOPED_TRACE(precision);
        Cr2Fields fields;
        fields.pixelWidth = 5184;
        fields.pixelHeight = 3456;
        fields.rawPrecision = precision;
        fields.preview = fixtures::encodeJpeg(fixtures::quadrantPicture(600, 400, kUpright));
        const auto properties = readCr2(fields).properties;
        ASSERT_TRUE(properties && properties->exif && properties->tiff);
        EXPECT_EQ(properties->pixelWidth, 5184);
        EXPECT_EQ(properties->pixelHeight, 3456);
        EXPECT_EQ(properties->depth, precision);
        EXPECT_EQ(properties->colorModel, "RGB");
        EXPECT_EQ(properties->tiff->model, "Canon EOS Fixture");
        EXPECT_EQ(properties->exif->dateTimeOriginal, "2016:01:02 03:04:05");
        EXPECT_DOUBLE_EQ(properties->exif->exposureTime.value_or(0), 1.0 / 60);
        EXPECT_DOUBLE_EQ(properties->exif->fNumber.value_or(0), 5.6);
        EXPECT_DOUBLE_EQ(properties->exif->focalLength.value_or(0), 35.0);
        EXPECT_EQ(properties->exif->isoSpeedRatings, std::vector<std::int64_t>{800});
    }
}

// The maker note is never parsed, so what it holds cannot spoil the tags around it.
TEST(Cr2Reader, readsExifTagsWhateverTheMakerNoteHolds) {
    Bytes directoryClaimingTooMuch{0xFF, 0xFF, 0x01, 0x00, 0x07, 0x00, 0xFF, 0xFF, 0xFF, 0x7F};
    directoryClaimingTooMuch.resize(64);
    const struct {
        const char* name;
        Bytes makerNote;
    } cases[] = {
        {"text", Bytes(40, 'x')},
        {"a directory claiming 65535 entries", directoryClaimingTooMuch},
        {"a large block of zeros", Bytes(60000, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Cr2Fields fields;
        fields.pixelWidth = 3504;
        fields.pixelHeight = 2336;
        fields.makerNote = c.makerNote;
        const auto properties = readCr2(fields).properties;
        ASSERT_TRUE(properties && properties->exif && properties->tiff);
        EXPECT_EQ(properties->pixelWidth, 3504);  // entries after the maker note's
        EXPECT_EQ(properties->pixelHeight, 2336);
        EXPECT_EQ(properties->tiff->model, "Canon EOS Fixture");
        EXPECT_EQ(properties->exif->dateTimeOriginal, "2016:01:02 03:04:05");
        EXPECT_DOUBLE_EQ(properties->exif->fNumber.value_or(0), 5.6);
    }
}

TEST(Cr2Reader, fallsBackToSensorSizeOfRawDataWithoutExifSize) {
    Cr2Fields fields;
    fields.rawWidth = 2600;
    fields.rawComponents = 2;
    fields.rawHeight = 3500;
    const auto properties = readCr2(fields).properties;
    ASSERT_TRUE(properties);
    EXPECT_EQ(properties->pixelWidth, 5200);
    EXPECT_EQ(properties->pixelHeight, 3500);
}

TEST(Cr2Reader, takesOrientationFromRawFileNeverFromPreview) {
    fixtures::ExifFields turnedPreview;
    turnedPreview.orientation = 3;
    Cr2Fields fields;
    fields.orientation = 1;
    fields.preview = fixtures::withExif(fixtures::encodeJpeg(fixtures::quadrantPicture(600, 400, kUpright)),
                                        turnedPreview);
    const Read read = readCr2(fields);
    ASSERT_TRUE(read.properties && read.preview);
    EXPECT_EQ(read.properties->orientation, 1);
    const auto seen = fixtures::sampleQuadrants(*read.preview);
    EXPECT_TRUE(fixtures::near(seen.topLeft, kRed));
    EXPECT_TRUE(fixtures::near(seen.bottomRight, kWhite));
}

TEST(Cr2Reader, previewsSharpestEmbeddedPictureThatDecodesUpright) {
    const Bytes dummy{0xFF, 0xD8, 'd', 'u', 'm', 'm', 'y'};
    const Bitmap rgb = fixtures::quadrantPicture(256, 384, kStoredTurned);  // upright 384 x 256
    const struct {
        const char* name;
        Bytes preview;
        Bytes thumbnail;
        bool withRgb;
        bool cut;
        int expectedWidth;  // 0: no preview at all
        int expectedHeight;
    } cases[] = {
        {"large preview, scaled down", storedJpeg(1536, 1024), storedJpeg(160, 120), true, false, 500, 333},
        {"dummy preview: RGB strip", dummy, storedJpeg(160, 120), true, false, 384, 256},
        {"dummy preview: thumbnail", dummy, storedJpeg(160, 120), false, false, 160, 120},
        {"truncated preview: thumbnail", storedJpeg(1536, 1024), storedJpeg(160, 120), false, true, 160, 120},
        {"nothing decodes", dummy, dummy, false, false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Cr2Fields fields;
        fields.orientation = 6;
        fields.preview = c.preview;
        fields.thumbnail = c.thumbnail;
        if (c.withRgb) fields.rgbStrip = rgb;
        fields.cutPreviewInHalf = c.cut;
        const Read read = readCr2(fields);
        ASSERT_TRUE(read.properties);
        EXPECT_EQ(read.properties->orientation, 6);
        ASSERT_EQ(read.preview.has_value(), c.expectedWidth > 0);
        if (!read.preview) continue;
        EXPECT_EQ(read.preview->width, c.expectedWidth);
        EXPECT_EQ(read.preview->height, c.expectedHeight);
        const auto seen = fixtures::sampleQuadrants(*read.preview);
        EXPECT_TRUE(fixtures::near(seen.topLeft, kRed));
        EXPECT_TRUE(fixtures::near(seen.topRight, kGreen));
        EXPECT_TRUE(fixtures::near(seen.bottomLeft, kBlue));
    }
}

}  // namespace
}  // namespace quillory
