#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/imageio/image_service_factory.h"
#include "tests/imageio/fixtures.h"

namespace quillory {
namespace {

using fixtures::Colours;
using fixtures::ExifFields;

std::optional<ImageProperties> propertiesOf(const fixtures::Bytes& bytes) {
    const fixtures::TempDir dir;
    const auto source = imageio::makeImageService()->createWithPath(dir.write("photo.jpg", bytes));
    if (!source) return std::nullopt;
    return source->copyPropertiesAtIndex0();
}

const Bitmap& smallPicture() {
    static const Bitmap picture = fixtures::quadrantPicture(64, 48, fixtures::kUpright);
    return picture;
}

TEST(JpegReader, readsDepthAndColourModelFromFrameHeader) {
    const struct {
        Colours colours;
        bool progressive;
        const char* model;
    } cases[] = {
        {Colours::kRgb, false, "RGB"},
        {Colours::kRgb, true, "RGB"},
        {Colours::kGray, false, "Gray"},
        {Colours::kCmyk, false, "CMYK"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.model << (c.progressive ? " progressive" : ""));
        const auto properties = propertiesOf(fixtures::encodeJpeg(smallPicture(), c.colours, c.progressive));
        ASSERT_TRUE(properties);
        EXPECT_EQ(properties->pixelWidth, 64);
        EXPECT_EQ(properties->pixelHeight, 48);
        EXPECT_EQ(properties->depth, 8);
        EXPECT_EQ(properties->colorModel, c.model);
    }
}

TEST(JpegReader, readsExifValuesAsStored) {
    ExifFields fields;
    fields.model = std::string("Demo Cam  \0\0", 12);
    fields.dateTimeOriginal = "2015:07:04 09:30:00";
    fields.exposureTime = {{1, 250}};
    fields.fNumber = {{28, 10}};
    fields.focalLength = {{50, 1}};
    fields.iso = {200, 400};
    fields.orientation = 6;
    const auto properties = propertiesOf(fixtures::withExif(fixtures::encodeJpeg(smallPicture()), fields));
    ASSERT_TRUE(properties && properties->exif && properties->tiff);
    EXPECT_EQ(properties->tiff->model, "Demo Cam");
    EXPECT_EQ(properties->exif->dateTimeOriginal, "2015:07:04 09:30:00");
    EXPECT_DOUBLE_EQ(properties->exif->exposureTime.value_or(0), 0.004);
    EXPECT_DOUBLE_EQ(properties->exif->fNumber.value_or(0), 2.8);
    EXPECT_DOUBLE_EQ(properties->exif->focalLength.value_or(0), 50.0);
    EXPECT_THAT(properties->exif->isoSpeedRatings.value_or(std::vector<std::int64_t>{}),
                testing::ElementsAre(200, 400));
    EXPECT_EQ(properties->orientation, 6);
}

TEST(JpegReader, leavesWhatTheFileDoesNotSayAbsent) {
    ExifFields onlyDate;
    onlyDate.dateTimeOriginal = "2001:02:03 04:05:06";
    ExifFields onlyOrientation;
    onlyOrientation.orientation = 3;
    const fixtures::Bytes plain = fixtures::encodeJpeg(smallPicture());

    const auto bare = propertiesOf(plain);
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->exif);
    EXPECT_FALSE(bare->tiff);
    EXPECT_FALSE(bare->orientation);

    const auto dated = propertiesOf(fixtures::withExif(plain, onlyDate));
    ASSERT_TRUE(dated && dated->exif);
    EXPECT_FALSE(dated->exif->exposureTime);
    EXPECT_FALSE(dated->exif->fNumber);
    EXPECT_FALSE(dated->exif->focalLength);
    EXPECT_FALSE(dated->exif->isoSpeedRatings);
    EXPECT_FALSE(dated->tiff && dated->tiff->model);

    const auto turned = propertiesOf(fixtures::withExif(plain, onlyOrientation));
    ASSERT_TRUE(turned);
    EXPECT_FALSE(turned->exif);  // no EXIF sub-directory at all
    EXPECT_EQ(turned->orientation, 3);
}

TEST(JpegReader, ignoresOrientationOutsideOneToEight) {
    for (int stored : {0, 9, 300}) {
        SCOPED_TRACE(stored);
        ExifFields fields;
        fields.orientation = stored;
        const auto properties =
            propertiesOf(fixtures::withExif(fixtures::encodeJpeg(smallPicture()), fields));
        ASSERT_TRUE(properties);
        EXPECT_FALSE(properties->orientation);
    }
}

TEST(JpegReader, reportsWhatTheFrameClaimsEvenWhenItCannotBeDecoded) {
    const struct {
        int width;
        int height;
        std::optional<int> precision;
    } cases[] = {{65535, 65535, std::nullopt}, {30000, 30000, std::nullopt}, {64, 48, 12}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        const auto bytes =
            fixtures::withFrame(fixtures::encodeJpeg(smallPicture()), c.width, c.height, c.precision);
        const auto properties = propertiesOf(bytes);
        ASSERT_TRUE(properties);
        EXPECT_EQ(properties->pixelWidth, c.width);
        EXPECT_EQ(properties->pixelHeight, c.height);
        EXPECT_EQ(properties->depth, c.precision.value_or(8));
    }
}

TEST(JpegReader, findsFrameAndExifBehindStrayBytesBetweenSegments) {
    ExifFields fields;
    fields.model = "Stray";
    fixtures::Bytes bytes = fixtures::withExif(fixtures::encodeJpeg(smallPicture()), fields);
    const std::size_t afterApp1 = 4 + static_cast<std::size_t>((bytes[4] << 8) | bytes[5]);
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(afterApp1), {0x00, 0x13, 0x37});
    const auto properties = propertiesOf(bytes);
    ASSERT_TRUE(properties && properties->tiff);
    EXPECT_EQ(properties->tiff->model, "Stray");
    EXPECT_EQ(properties->pixelWidth, 64);
}

}  // namespace
}  // namespace quillory
