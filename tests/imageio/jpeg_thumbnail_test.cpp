#include <gtest/gtest.h>

#include "platform/imageio/image_service_factory.h"
#include "tests/imageio/fixtures.h"

namespace quillory {
namespace {

using fixtures::Bytes;
using fixtures::Colours;
using fixtures::ExifFields;
using fixtures::kBlue;
using fixtures::kGreen;
using fixtures::kRed;
using fixtures::kUpright;
using fixtures::kWhite;
using fixtures::Quadrants;

std::optional<Bitmap> previewOf(const Bytes& bytes, const ThumbnailOptions& options = kThumbnailOptions) {
    const fixtures::TempDir dir;
    const auto source = imageio::makeImageService()->createWithPath(dir.write("photo.jpg", bytes));
    if (!source) return std::nullopt;
    return source->createThumbnailAtIndex0(options);
}

void expectUpright(const Bitmap& picture, const Quadrants& expected = kUpright) {
    const Quadrants seen = fixtures::sampleQuadrants(picture);
    EXPECT_TRUE(fixtures::near(seen.topLeft, expected.topLeft)) << "top left";
    EXPECT_TRUE(fixtures::near(seen.topRight, expected.topRight)) << "top right";
    EXPECT_TRUE(fixtures::near(seen.bottomLeft, expected.bottomLeft)) << "bottom left";
    EXPECT_TRUE(fixtures::near(seen.bottomRight, expected.bottomRight)) << "bottom right";
}

// How the upright red/green/blue/white picture is stored for each EXIF orientation.
struct StoredAs {
    int orientation;
    Quadrants stored;
};
constexpr StoredAs kOrientations[] = {
    {1, {kRed, kGreen, kBlue, kWhite}}, {2, {kGreen, kRed, kWhite, kBlue}},  // as is; mirrored
    {3, {kWhite, kBlue, kGreen, kRed}}, {4, {kBlue, kWhite, kRed, kGreen}},  // turned 180; flipped
    {5, {kRed, kBlue, kGreen, kWhite}}, {6, {kGreen, kWhite, kRed, kBlue}},  // transposed; turned left
    {7, {kWhite, kGreen, kBlue, kRed}}, {8, {kBlue, kRed, kWhite, kGreen}},  // transversed; turned right
};

// A photo whose upright picture is `width` x `height`, stored as `orientation` says.
Bytes storedPhoto(const StoredAs& as, int width, int height, bool withThumbnail) {
    const bool sideways = as.orientation >= 5;
    const int storedW = sideways ? height : width;
    const int storedH = sideways ? width : height;
    ExifFields fields;
    fields.orientation = as.orientation;
    if (withThumbnail) {
        fields.thumbnail = fixtures::encodeJpeg(
            fixtures::quadrantPicture(sideways ? 120 : 160, sideways ? 160 : 120, as.stored));
    }
    return fixtures::withExif(fixtures::encodeJpeg(fixtures::quadrantPicture(storedW, storedH, as.stored)),
                              fields);
}

TEST(JpegThumbnail, comesOutUprightForEveryOrientationFromEitherSource) {
    for (const StoredAs& as : kOrientations) {
        for (const bool withThumbnail : {true, false}) {
            SCOPED_TRACE(testing::Message() << "orientation " << as.orientation
                                            << (withThumbnail ? " from EXIF thumbnail" : " from the image"));
            const auto preview = previewOf(storedPhoto(as, 400, 300, withThumbnail));
            ASSERT_TRUE(preview);
            EXPECT_EQ(preview->width, withThumbnail ? 160 : 400);
            EXPECT_EQ(preview->height, withThumbnail ? 120 : 300);
            expectUpright(*preview);
        }
    }
}

TEST(JpegThumbnail, shrinksImageWithoutThumbnailToLimitKeepingAspect) {
    const struct {
        int width;
        int height;
        int orientation;
        int expectedWidth;
        int expectedHeight;
    } cases[] = {
        {4000, 3000, 1, 500, 375}, {3000, 4000, 1, 375, 500}, {3000, 4000, 6, 375, 500},
        {120, 80, 1, 120, 80},     {501, 10, 1, 500, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " orientation " << c.orientation);
        const auto preview =
            previewOf(storedPhoto(kOrientations[c.orientation - 1], c.width, c.height, false));
        ASSERT_TRUE(preview);
        EXPECT_EQ(preview->width, c.expectedWidth);
        EXPECT_EQ(preview->height, c.expectedHeight);
        if (c.height >= 40) expectUpright(*preview);
    }
}

TEST(JpegThumbnail, fallsBackToImageWhenEmbeddedThumbnailDoesNotDecode) {
    const Bytes good = fixtures::encodeJpeg(fixtures::quadrantPicture(160, 120, kUpright));
    const std::vector<std::pair<const char*, Bytes>> dummies = {
        {"not a JPEG", Bytes{'d', 'u', 'm', 'm', 'y'}},
        {"start of image only", Bytes{0xFF, 0xD8, 0xFF, 0xD9}},
        {"cut in half", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2))},
    };
    for (const auto& [name, dummy] : dummies) {
        SCOPED_TRACE(name);
        ExifFields fields;
        fields.thumbnail = dummy;
        const auto preview = previewOf(
            fixtures::withExif(fixtures::encodeJpeg(fixtures::quadrantPicture(400, 300, kUpright)), fields));
        ASSERT_TRUE(preview);
        EXPECT_EQ(preview->width, 400);
        expectUpright(*preview);
    }
}

// Software that turned or shrank the image but kept the camera's thumbnail: the thumbnail
// would show the picture sideways or stale, so the image itself serves; when the image cannot
// be decoded the old thumbnail is still better than nothing.
TEST(JpegThumbnail, passesOverThumbnailLeftBehindByEditing) {
    const struct {
        const char* name;
        int imageWidth;
        int imageHeight;
        int thumbnailWidth;
        int thumbnailHeight;
        bool decodableImage;
        int expectedWidth;
    } cases[] = {
        {"image turned, thumbnail not", 300, 400, 160, 120, true, 300},
        {"image shrunk below thumbnail", 100, 75, 160, 120, true, 100},
        {"turned and not decodable", 300, 400, 160, 120, false, 160},
        {"matching thumbnail", 400, 300, 160, 120, true, 160},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExifFields fields;
        fields.thumbnail =
            fixtures::encodeJpeg(fixtures::quadrantPicture(c.thumbnailWidth, c.thumbnailHeight, kUpright));
        Bytes image = fixtures::encodeJpeg(fixtures::quadrantPicture(c.imageWidth, c.imageHeight, kUpright));
        if (!c.decodableImage) image = fixtures::withFrame(image, c.imageWidth, c.imageHeight, 12);
        const auto preview = previewOf(fixtures::withExif(image, fields));
        ASSERT_TRUE(preview);
        EXPECT_EQ(preview->width, c.expectedWidth);
    }
}

TEST(JpegThumbnail, followsTheOptions) {
    const Bytes withThumbnail = storedPhoto(kOrientations[5], 400, 300, true);
    const Bytes without = storedPhoto(kOrientations[5], 400, 300, false);
    ThumbnailOptions embeddedOnly;
    embeddedOnly.createThumbnailFromImageIfAbsent = false;
    ThumbnailOptions asStored;
    asStored.createThumbnailWithTransform = false;
    ThumbnailOptions small;
    small.thumbnailMaxPixelSize = 100;

    EXPECT_FALSE(previewOf(without, embeddedOnly));
    ASSERT_TRUE(previewOf(withThumbnail, embeddedOnly));
    const auto stored = previewOf(without, asStored);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->width, 300);  // stored sideways, left so
    expectUpright(*stored, kOrientations[5].stored);
    for (const Bytes& bytes : {withThumbnail, without}) {
        const auto shrunk = previewOf(bytes, small);
        ASSERT_TRUE(shrunk);
        EXPECT_EQ(shrunk->width, 100);
        EXPECT_EQ(shrunk->height, 75);
    }
}

TEST(JpegThumbnail, turnsGrayAndCmykIntoRgb) {
    const Bitmap picture = fixtures::quadrantPicture(400, 300, kUpright);
    const Quadrants greyOfGreen{{0, 0, 0}, {255, 255, 255}, {0, 0, 0}, {255, 255, 255}};
    const struct {
        const char* name;
        Colours colours;
        bool progressive;
        Quadrants expected;
    } cases[] = {
        {"rgb", Colours::kRgb, false, kUpright},
        {"progressive", Colours::kRgb, true, kUpright},
        {"cmyk", Colours::kCmyk, false, kUpright},
        {"gray", Colours::kGray, false, greyOfGreen},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto preview = previewOf(fixtures::encodeJpeg(picture, c.colours, c.progressive));
        ASSERT_TRUE(preview);
        expectUpright(*preview, c.expected);
    }
}

// Frames a preview cannot afford (or libjpeg cannot decode) give no picture from the image,
// but the EXIF thumbnail, when there is one, still serves.
TEST(JpegThumbnail, decodesNoFrameTooLargeOrTooDeepButStillUsesThumbnail) {
    const Bytes small = fixtures::encodeJpeg(fixtures::quadrantPicture(64, 48, kUpright));
    const Bytes progressive =
        fixtures::encodeJpeg(fixtures::quadrantPicture(64, 48, kUpright), Colours::kRgb, true);
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"65535 x 65535", fixtures::withFrame(small, 65535, 65535)},
        {"900 megapixels", fixtures::withFrame(small, 30000, 30000)},
        {"progressive, coefficients beyond the memory cap", fixtures::withFrame(progressive, 14000, 14000)},
        {"12-bit", fixtures::withFrame(small, 64, 48, 12)},
    };
    ExifFields thumbnail;
    thumbnail.thumbnail = fixtures::encodeJpeg(fixtures::quadrantPicture(160, 120, kUpright));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(previewOf(c.bytes));
        const auto fromThumbnail = previewOf(fixtures::withExif(c.bytes, thumbnail));
        ASSERT_TRUE(fromThumbnail);
        EXPECT_EQ(fromThumbnail->width, 160);
    }
}

}  // namespace
}  // namespace quillory
