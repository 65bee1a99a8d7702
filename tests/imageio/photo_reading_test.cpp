// The image service on the committed fixture photos of tests/data: what it reads from each, and
// the upright preview it makes.
#include <gtest/gtest.h>
#include <unistd.h>

#include "inspection/summary.h"
#include "platform/imageio/image_service_factory.h"
#include "platform/imageio/jpeg_markers.h"
#include "platform/imageio/orientation.h"
#include "tests/support/quadrants.h"
#include "tests/support/support.h"

// The preview rows name only the options they change.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace quillory {
namespace {

std::unique_ptr<ImageSource> open(const std::string& file) {
    return imageio::makeImageService()->createWithPath(support::data(file).string());
}

// What the summary shows of each photo between its name and its folder, and the orientation
// its preview is turned by.
TEST(PhotoProperties, areReadAsStored) {
    const std::string kCanon =
        "Taken on 2016:01:02 03:04:05 \nModel Canon EOS Fixture \n35mm 1/60s F5.6 ISO 800";
    const struct {
        const char* file;
        std::optional<int> orientation;
        std::string summary;
    } cases[] = {
        // clang-format off
        {"jpeg/progressive.jpg", {}, "64 x 48 x 8 RGB \n\n"}, {"jpeg/gray.jpg", {}, "64 x 48 x 8 Gray \n\n"},
        {"jpeg/cmyk.jpg", {}, "64 x 48 x 8 CMYK \n\n"},
        {"jpeg/12bit.jpg", {}, "64 x 48 x 12 RGB \n\n"},  // what the frame claims, though it cannot be decoded
        {"jpeg/o3.jpg", 3, "400 x 300 x 8 RGB \n\n"}, {"jpeg/orientation-0.jpg", {}, "16 x 16 x 8 RGB \n\n"},
        {"jpeg/orientation-9.jpg", {}, "16 x 16 x 8 RGB \n\n"}, {"jpeg/orientation-300.jpg", {}, "16 x 16 x 8 RGB \n\n"},
        {"jpeg/exif.jpg", 6,  // the model padded with blanks and NULs
         "64 x 48 x 8 RGB \n\nTaken on 2015:07:04 09:30:00 \nModel Demo Cam \n50mm 1/250s F2.8 ISO 200"},
        {"jpeg/exif-date-only.jpg", {}, "64 x 48 x 8 RGB \n\nTaken on 2001:02:03 04:05:06 \n"},
        {"jpeg/stray-bytes.jpg", {}, "64 x 48 x 8 RGB \n\nModel Stray \n(null)mm (null)s F(null) ISO 0"},
        // A CR2 is described by its raw image, never by its preview; its maker note is never parsed.
        {"cr2/exif-12bit.CR2", 1, "5184 x 3456 x 12 RGB \n\n" + kCanon},
        {"cr2/makernote-65535-entries.CR2", 1, "3504 x 2336 x 14 RGB \n\n" + kCanon},
        {"cr2/sensor-size.CR2", 1, "5200 x 3500 x 14 RGB \n\n" + kCanon},
        // Raw data that ends before its frame header does: what follows it in the file is not read.
        {"cr2/raw-stream-cut-after-a-length.CR2", 1, "(null) x (null) x (null) RGB \n\n" + kCanon},
        {"cr2/raw-stream-cut-inside-its-frame.CR2", 1, "(null) x (null) x (null) RGB \n\n" + kCanon},
        {"cr2/preview-turned-180.CR2", 1, "5200 x 3500 x 14 RGB \n\n" + kCanon},
        {"cr2/large-preview.CR2", 6, "5200 x 3500 x 14 RGB \n\n" + kCanon}
        // clang-format on
    };
    for (const auto& c : cases) {
        const auto source = open(c.file);
        const auto properties = source->copyPropertiesAtIndex0();
        ASSERT_TRUE(properties);
        EXPECT_EQ(properties->orientation, c.orientation) << c.file;
        const std::string summary = composeSummary(c.file, source->copyProperties(), properties);
        const std::size_t start = summary.find('\n') + 1;
        EXPECT_EQ(summary.substr(start, summary.rfind("\n\n") - start), c.summary) << c.file;
    }
}

// Started with standard input closed (as some launchers do), the photo gets descriptor 0.
TEST(PhotoProperties, areReadWhenStandardInputIsClosed) {
    const int saved = ::dup(0);
    ::close(0);
    std::optional<ImageProperties> read;
    if (auto image = open("jpeg/exif.jpg")) read = image->copyPropertiesAtIndex0();
    ::dup2(saved, 0);
    ::close(saved);
    EXPECT_TRUE(read && read->pixelWidth == 64);
}

// A JPEG stream inside a larger file is read up to its own end only. In exif.jpg the APP1
// "Exif" segment runs from 2 to 184 (its TIFF data from 12) and the frame comes later.
TEST(JpegHeaders, comeOnlyFromTheStreamsOwnBytes) {
    const auto file = imageio::PhotoFile::open(support::data("jpeg/exif.jpg").string(), nullptr);
    ASSERT_TRUE(file);
    const struct {
        std::int64_t end;
        std::int64_t exifEnd;  // 0: no EXIF block
        bool frame;
    } cases[] = {{961, 184, true}, {100, 100, false}, {13, 13, false}, {12, 0, false}, {10, 0, false}};
    for (const auto& c : cases) {
        const auto headers = imageio::readJpegHeaders(*file, {0, c.end});
        ASSERT_TRUE(headers);
        EXPECT_EQ(headers->exif ? headers->exif->offset + headers->exif->length : 0, c.exifEnd) << c.end;
        EXPECT_EQ(headers->frame.has_value(), c.frame) << c.end;
    }
}

enum Look { kAny, kUpright, kStoredTurnedLeft, kGreyOfGreen, kTopLeftRed };

// The sharpest picture that decodes, upright, within 500 px: the image (every orientation) or
// the EXIF thumbnail, as the options ask.
TEST(PhotoPreview, isTheSharpestPictureThatDecodesUprightWithinTheLimit) {
    const struct {
        const char* file;
        int width;  // 0: no preview
        int height;
        Look look = kUpright;
        ThumbnailOptions options = {};
    } cases[] = {
        // clang-format off
        {"jpeg/o1.jpg", 400, 300}, {"jpeg/o2.jpg", 400, 300}, {"jpeg/o3.jpg", 400, 300}, {"jpeg/o4.jpg", 400, 300},
        {"jpeg/o5.jpg", 400, 300}, {"jpeg/o6.jpg", 400, 300}, {"jpeg/o7.jpg", 400, 300}, {"jpeg/o8.jpg", 400, 300},
        {"jpeg/o6-thumbnail.jpg", 160, 120},
        {"jpeg/o6-600x800.jpg", 375, 500},  // shrunk to 500 px keeping the aspect, never enlarged
        {"jpeg/o1-cut.jpg", 400, 300, kTopLeftRed}, {"jpeg/progressive.jpg", 64, 48}, {"jpeg/cmyk.jpg", 64, 48},
        {"jpeg/gray.jpg", 64, 48, kGreyOfGreen},
        // A thumbnail that does not decode counts as none; one left behind by editing (the
        // image turned or shrunk since) is passed over unless the image does not decode.
        {"jpeg/thumbnail-dummy.jpg", 400, 300}, {"jpeg/thumbnail-cut.jpg", 400, 300},
        {"jpeg/thumbnail-unturned.jpg", 300, 400, kAny}, {"jpeg/thumbnail-larger.jpg", 100, 75},
        {"jpeg/thumbnail-unturned-12bit.jpg", 160, 120},
        // Frames a preview cannot afford or libjpeg cannot decode: only the thumbnail serves.
        {"jpeg/30000x30000.jpg", 0, 0}, {"jpeg/12bit.jpg", 0, 0}, {"jpeg/30000x30000-thumbnail.jpg", 160, 120},
        {"jpeg/progressive-14000x14000-thumbnail.jpg", 160, 120}, {"jpeg/12bit-thumbnail.jpg", 160, 120},
        // The options: the EXIF thumbnail only, no turning, a smaller limit, the image always.
        {"jpeg/o6.jpg", 0, 0, kAny, {.createThumbnailFromImageIfAbsent = false}},
        {"jpeg/o6-thumbnail.jpg", 160, 120, kUpright, {.createThumbnailFromImageIfAbsent = false}},
        {"jpeg/o6.jpg", 300, 400, kStoredTurnedLeft, {.createThumbnailWithTransform = false}},
        {"jpeg/o6-thumbnail.jpg", 100, 75, kUpright, {.thumbnailMaxPixelSize = 100}},
        {"jpeg/o6-thumbnail.jpg", 400, 300, kUpright, {.createThumbnailFromImageAlways = true}},
        {"jpeg/o6-600x800.jpg", 375, 500, kUpright, {.createThumbnailFromImageAlways = true, .thumbnailMaxPixelSize = 4000}},
        // CR2: the large preview, else the RGB strip, else the thumbnail, turned as the raw
        // file says (never as the preview's own EXIF says).
        {"cr2/large-preview.CR2", 500, 333}, {"cr2/dummy-preview-rgb-strip.CR2", 80, 60},
        {"cr2/dummy-preview.CR2", 160, 120}, {"cr2/cut-preview.CR2", 160, 120},
        {"cr2/nothing-decodes.CR2", 0, 0}, {"cr2/preview-turned-180.CR2", 200, 150}
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.file << " at most " << c.options.thumbnailMaxPixelSize);
        const auto preview = open(c.file)->createThumbnailAtIndex0(c.options);
        ASSERT_EQ(preview.has_value(), c.width > 0);
        if (!preview) continue;
        EXPECT_EQ(std::pair(preview->width, preview->height), std::pair(c.width, c.height));
        using support::kBlack, support::kBlue, support::kGreen, support::kRed, support::kWhite;
        const support::Quadrants seen = support::sampleQuadrants(*preview);
        // clang-format off
        const support::Quadrants looks[] = {seen, support::kUpright, {kGreen, kWhite, kRed, kBlue},
                                            {kBlack, kWhite, kBlack, kWhite}, {kRed, seen.topRight, seen.bottomLeft, seen.bottomRight}};
        // clang-format on
        EXPECT_TRUE(support::looksLike(*preview, looks[static_cast<int>(c.look)]));
    }
}

// Every orientation, on a 3 x 2 picture whose pixels are numbered: where each one goes.
TEST(PhotoPreview, turnsEveryPixelToItsUprightPlace) {
    const std::pair<int, std::vector<int>> cases[] = {
        {1, {0, 1, 2, 3, 4, 5}}, {2, {2, 1, 0, 5, 4, 3}}, {3, {5, 4, 3, 2, 1, 0}}, {4, {3, 4, 5, 0, 1, 2}},
        {5, {0, 3, 1, 4, 2, 5}}, {6, {3, 0, 4, 1, 5, 2}}, {7, {5, 2, 4, 1, 3, 0}}, {8, {2, 5, 1, 4, 0, 3}}};
    for (const auto& [orientation, expected] : cases) {
        Bitmap stored{3, 2, std::vector<std::uint8_t>(18)};
        for (std::size_t i = 0; i < stored.rgb.size(); ++i) stored.rgb[i] = static_cast<std::uint8_t>(i / 3);
        const Bitmap upright = imageio::orientUpright(stored, orientation);
        std::vector<int> seen;
        for (std::size_t i = 0; i < upright.rgb.size(); i += 3) seen.push_back(upright.rgb[i]);
        EXPECT_EQ(seen, expected) << orientation;
    }
}

}  // namespace
}  // namespace quillory
