// The image service on the committed fixture photos of tests/data: what it reads from each, and
// the upright preview it makes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/imageio/image_service_factory.h"
#include "tests/support/quadrants.h"
#include "tests/support/support.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;
using support::Bytes;
using support::Quadrants;

std::unique_ptr<ImageSource> open(const std::string& file) {
    return imageio::makeImageService()->createWithPath(support::data(file).string());
}

struct PropertiesCase {
    const char* file;
    int width;
    int height;
    int depth;
    const char* colours;
    std::optional<int> orientation;
    std::optional<std::string> model;
};
void PrintTo(const PropertiesCase& c, std::ostream* os) {
    *os << c.file;
}

class PhotoProperties : public ::testing::TestWithParam<PropertiesCase> {};

TEST_P(PhotoProperties, areReadAsStored) {
    const PropertiesCase& c = GetParam();
    const auto source = open(c.file);
    ASSERT_NE(source, nullptr);
    const auto properties = source->copyPropertiesAtIndex0();
    ASSERT_TRUE(properties);
    EXPECT_EQ(properties->pixelWidth, c.width);
    EXPECT_EQ(properties->pixelHeight, c.height);
    EXPECT_EQ(properties->depth, c.depth);
    EXPECT_EQ(properties->colorModel, c.colours);
    EXPECT_EQ(properties->orientation, c.orientation);
    EXPECT_EQ(properties->tiff ? properties->tiff->model : std::nullopt, c.model);
    EXPECT_EQ(source->copyProperties()->fileSize,
              static_cast<std::int64_t>(fs::file_size(support::data(c.file))));
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, PhotoProperties,
    ::testing::Values(
        PropertiesCase{"jpeg/bare.jpg", 64, 48, 8, "RGB", {}, {}},
        PropertiesCase{"jpeg/progressive.jpg", 64, 48, 8, "RGB", {}, {}},
        PropertiesCase{"jpeg/gray.jpg", 64, 48, 8, "Gray", {}, {}},
        PropertiesCase{"jpeg/cmyk.jpg", 64, 48, 8, "CMYK", {}, {}},
        // What the frame claims, even where it cannot be decoded.
        PropertiesCase{"crafted/frameOf65535Squared.jpg", 65535, 65535, 8, "RGB", {}, {}},
        PropertiesCase{"jpeg/30000x30000.jpg", 30000, 30000, 8, "RGB", {}, {}},
        PropertiesCase{"jpeg/12bit.jpg", 64, 48, 12, "RGB", {}, {}},
        PropertiesCase{"jpeg/o3.jpg", 400, 300, 8, "RGB", 3, {}},
        PropertiesCase{"jpeg/orientation-0.jpg", 16, 16, 8, "RGB", {}, {}},
        PropertiesCase{"jpeg/orientation-9.jpg", 16, 16, 8, "RGB", {}, {}},
        PropertiesCase{"jpeg/orientation-300.jpg", 16, 16, 8, "RGB", {}, {}},
        PropertiesCase{"jpeg/exif.jpg", 64, 48, 8, "RGB", 6, "Demo Cam"},
        PropertiesCase{"jpeg/stray-bytes.jpg", 64, 48, 8, "RGB", {}, "Stray"},
        // A CR2 is described by its raw image, never by its preview.
        PropertiesCase{"cr2/exif-12bit.CR2", 5184, 3456, 12, "RGB", 1, "Canon EOS Fixture"},
        PropertiesCase{"cr2/makernote-65535-entries.CR2", 3504, 2336, 14, "RGB", 1, "Canon EOS Fixture"},
        PropertiesCase{"cr2/sensor-size.CR2", 5200, 3500, 14, "RGB", 1, "Canon EOS Fixture"},
        PropertiesCase{"cr2/preview-turned-180.CR2", 5200, 3500, 14, "RGB", 1, "Canon EOS Fixture"},
        PropertiesCase{"cr2/large-preview.CR2", 5200, 3500, 14, "RGB", 6, "Canon EOS Fixture"}));

struct ExifCase {
    const char* file;
    std::optional<std::string> date;
    std::optional<double> exposure;
    std::optional<double> fNumber;
    std::optional<double> focalLength;
    std::optional<std::vector<std::int64_t>> iso;
};
void PrintTo(const ExifCase& c, std::ostream* os) {
    *os << c.file;
}

class PhotoExif : public ::testing::TestWithParam<ExifCase> {};

TEST_P(PhotoExif, givesTheStoredValuesAndLeavesTheRestAbsent) {
    const ExifCase& c = GetParam();
    const auto properties = open(c.file)->copyPropertiesAtIndex0();
    ASSERT_TRUE(properties && properties->exif);
    EXPECT_EQ(properties->exif->dateTimeOriginal, c.date);
    EXPECT_EQ(properties->exif->exposureTime.has_value(), c.exposure.has_value());
    EXPECT_DOUBLE_EQ(properties->exif->exposureTime.value_or(0), c.exposure.value_or(0));
    EXPECT_EQ(properties->exif->fNumber, c.fNumber);
    EXPECT_EQ(properties->exif->focalLength, c.focalLength);
    EXPECT_EQ(properties->exif->isoSpeedRatings, c.iso);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, PhotoExif,
    ::testing::Values(
        ExifCase{"jpeg/exif.jpg", "2015:07:04 09:30:00", 0.004, 2.8, 50.0,
                 std::vector<std::int64_t>{200, 400}},
        ExifCase{"jpeg/exif-date-only.jpg", "2001:02:03 04:05:06", {}, {}, {}, {}},
        ExifCase{"cr2/exif-12bit.CR2", "2016:01:02 03:04:05", 1.0 / 60, 5.6, 35.0,
                 std::vector<std::int64_t>{800}},
        // The maker note is never parsed: a directory in it claiming 65535 entries spoils nothing.
        ExifCase{"cr2/makernote-65535-entries.CR2", "2016:01:02 03:04:05", 1.0 / 60, 5.6, 35.0,
                 std::vector<std::int64_t>{800}}));

TEST(PhotoExif, isAbsentWhereTheFileHasNoExifDirectory) {
    for (const char* file : {"jpeg/bare.jpg", "jpeg/o3.jpg"}) {
        const auto properties = open(file)->copyPropertiesAtIndex0();
        ASSERT_TRUE(properties);
        EXPECT_FALSE(properties->exif) << file;
    }
}

enum class Options { kDefault, kEmbeddedOnly, kAsStored, kSmall };
enum class Look { kAny, kUpright, kStoredTurnedLeft, kGreyOfGreen, kTopLeftRed };

struct PreviewCase {
    const char* file;
    int width;  // 0: no preview
    int height;
    Look look = Look::kUpright;
    Options options = Options::kDefault;
};
void PrintTo(const PreviewCase& c, std::ostream* os) {
    *os << c.file << " option " << static_cast<int>(c.options);
}

class PhotoPreview : public ::testing::TestWithParam<PreviewCase> {};

TEST_P(PhotoPreview, isTheSharpestPictureThatDecodesUprightWithinTheLimit) {
    const PreviewCase& c = GetParam();
    ThumbnailOptions options;
    options.createThumbnailFromImageIfAbsent = c.options != Options::kEmbeddedOnly;
    options.createThumbnailWithTransform = c.options != Options::kAsStored;
    if (c.options == Options::kSmall) options.thumbnailMaxPixelSize = 100;
    const auto source = open(c.file);
    ASSERT_NE(source, nullptr);
    const auto preview = source->createThumbnailAtIndex0(options);
    ASSERT_EQ(preview.has_value(), c.width > 0);
    if (!preview) return;
    EXPECT_EQ(preview->width, c.width);
    EXPECT_EQ(preview->height, c.height);
    const Quadrants seen = support::sampleQuadrants(*preview);
    switch (c.look) {
        case Look::kAny:
            break;
        case Look::kUpright:
            EXPECT_TRUE(support::looksLike(*preview));
            break;
        case Look::kStoredTurnedLeft:
            EXPECT_TRUE(support::looksLike(
                *preview, {support::kGreen, support::kWhite, support::kRed, support::kBlue}));
            break;
        case Look::kGreyOfGreen:
            EXPECT_TRUE(support::looksLike(
                *preview, {support::kBlack, support::kWhite, support::kBlack, support::kWhite}));
            break;
        case Look::kTopLeftRed:
            EXPECT_TRUE(support::near(seen.topLeft, support::kRed));
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, PhotoPreview,
    ::testing::Values(
        // Every orientation, from the image and from the EXIF thumbnail.
        PreviewCase{"jpeg/o1.jpg", 400, 300}, PreviewCase{"jpeg/o2.jpg", 400, 300},
        PreviewCase{"jpeg/o3.jpg", 400, 300}, PreviewCase{"jpeg/o4.jpg", 400, 300},
        PreviewCase{"jpeg/o5.jpg", 400, 300}, PreviewCase{"jpeg/o6.jpg", 400, 300},
        PreviewCase{"jpeg/o7.jpg", 400, 300}, PreviewCase{"jpeg/o8.jpg", 400, 300},
        PreviewCase{"jpeg/o6-thumbnail.jpg", 160, 120},
        // Shrunk to 500 px keeping the aspect, never enlarged.
        PreviewCase{"jpeg/o6-600x800.jpg", 375, 500}, PreviewCase{"jpeg/501x10.jpg", 500, 10, Look::kAny},
        PreviewCase{"jpeg/o1-cut.jpg", 400, 300, Look::kTopLeftRed},
        PreviewCase{"jpeg/progressive.jpg", 64, 48}, PreviewCase{"jpeg/cmyk.jpg", 64, 48},
        PreviewCase{"jpeg/gray.jpg", 64, 48, Look::kGreyOfGreen},
        // A thumbnail that does not decode counts as none; one left behind by editing (the
        // image turned or shrunk since) is passed over unless the image does not decode.
        PreviewCase{"jpeg/thumbnail-dummy.jpg", 400, 300}, PreviewCase{"jpeg/thumbnail-cut.jpg", 400, 300},
        PreviewCase{"jpeg/thumbnail-unturned.jpg", 300, 400, Look::kAny},
        PreviewCase{"jpeg/thumbnail-larger.jpg", 100, 75},
        PreviewCase{"jpeg/thumbnail-unturned-12bit.jpg", 160, 120},
        // Frames a preview cannot afford or libjpeg cannot decode: only the thumbnail serves.
        PreviewCase{"crafted/frameOf65535Squared.jpg", 0, 0}, PreviewCase{"jpeg/30000x30000.jpg", 0, 0},
        PreviewCase{"jpeg/12bit.jpg", 0, 0}, PreviewCase{"jpeg/65535x65535-thumbnail.jpg", 160, 120},
        PreviewCase{"jpeg/30000x30000-thumbnail.jpg", 160, 120},
        PreviewCase{"jpeg/progressive-14000x14000-thumbnail.jpg", 160, 120},
        PreviewCase{"jpeg/12bit-thumbnail.jpg", 160, 120},
        // The options.
        PreviewCase{"jpeg/o6.jpg", 0, 0, Look::kAny, Options::kEmbeddedOnly},
        PreviewCase{"jpeg/o6-thumbnail.jpg", 160, 120, Look::kUpright, Options::kEmbeddedOnly},
        PreviewCase{"jpeg/o6.jpg", 300, 400, Look::kStoredTurnedLeft, Options::kAsStored},
        PreviewCase{"jpeg/o6.jpg", 100, 75, Look::kUpright, Options::kSmall},
        PreviewCase{"jpeg/o6-thumbnail.jpg", 100, 75, Look::kUpright, Options::kSmall},
        // CR2: the large preview, else the RGB strip, else the thumbnail, turned as the raw
        // file says (never as the preview's own EXIF says).
        PreviewCase{"cr2/large-preview.CR2", 500, 333},
        PreviewCase{"cr2/dummy-preview-rgb-strip.CR2", 80, 60},
        PreviewCase{"cr2/dummy-preview.CR2", 160, 120}, PreviewCase{"cr2/cut-preview.CR2", 160, 120},
        PreviewCase{"cr2/nothing-decodes.CR2", 0, 0}, PreviewCase{"cr2/preview-turned-180.CR2", 200, 150}));

TEST(ImageService, opensNothingButRegularFilesAndSaysWhy) {
    const support::TempDir dir;
    ASSERT_EQ(::mkfifo((dir.path() / "fifo.jpg").c_str(), 0600), 0);  // a blocking open would hang
    fs::create_directory(dir.path() / "folder.jpg");
    fs::create_symlink("/dev/null", dir.path() / "device.jpg");
    fs::create_symlink(dir.path() / "gone.jpg", dir.path() / "dangling.jpg");
    const std::pair<const char*, const char*> cases[] = {
        {"fifo.jpg", "not a regular file"},           {"folder.jpg", "not a regular file"},
        {"device.jpg", "not a regular file"},         {"dangling.jpg", "No such file or directory"},
        {"missing.jpg", "No such file or directory"},
    };
    const auto service = imageio::makeImageService();
    for (const auto& [name, reason] : cases) {
        std::string why;
        EXPECT_EQ(service->createWithPath((dir.path() / name).string(), &why), nullptr) << name;
        EXPECT_EQ(why, reason) << name;
    }
}

TEST(ImageService, givesSizeButNoImageForFilesOfNoKnownKind) {
    const std::pair<const char*, Bytes> cases[] = {
        {"notes.jpg", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}},
        {"empty.jpg", Bytes{}},
        {"plain.tif.CR2", Bytes{'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0, 0}},
        {"start-only.jpg", Bytes{0xFF, 0xD8}},
    };
    const support::TempDir dir;
    const auto service = imageio::makeImageService();
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        const auto source = service->createWithPath(dir.write(name, bytes));
        ASSERT_NE(source, nullptr);
        EXPECT_FALSE(source->copyPropertiesAtIndex0());
        EXPECT_EQ(source->copyProperties()->fileSize, static_cast<std::int64_t>(bytes.size()));
        EXPECT_FALSE(source->createThumbnailAtIndex0(kThumbnailOptions));
    }
}

TEST(ImageService, readsPhotoThroughSymlinkAndByContentNotName) {
    const support::TempDir dir;
    fs::create_symlink(dir.copy("jpeg/o6-thumbnail.jpg", "named wrongly.CR2"), dir.path() / "link.jpg");
    const auto source = imageio::makeImageService()->createWithPath((dir.path() / "link.jpg").string());
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->copyPropertiesAtIndex0()->colorModel, "RGB");
    EXPECT_TRUE(source->createThumbnailAtIndex0(kThumbnailOptions));
}

// Every prefix of a photo, and the photo with each header byte replaced: nothing may crash,
// hang or read out of bounds (the sanitizer build watches the last), and a preview is sound.
TEST(ImageService, survivesEveryTruncationAndHeaderByteDamage) {
    const support::TempDir dir;
    const auto service = imageio::makeImageService();
    const auto readEverything = [&](const Bytes& bytes) {
        const auto source = service->createWithPath(dir.write("photo.jpg", bytes));
        if (!source) return;
        (void)source->copyPropertiesAtIndex0();
        EXPECT_EQ(source->copyProperties()->fileSize, static_cast<std::int64_t>(bytes.size()));
        if (const auto preview = source->createThumbnailAtIndex0(kThumbnailOptions)) {
            EXPECT_LE(std::max(preview->width, preview->height), 500);
            EXPECT_EQ(preview->rgb.size(), static_cast<std::size_t>(preview->width) * preview->height * 3);
        }
    };
    for (const char* file : {"jpeg/o6-thumbnail.jpg", "cr2/plain.CR2"}) {
        SCOPED_TRACE(file);
        const Bytes photo = support::readFile(support::data(file));
        for (std::size_t length = 0; length < photo.size(); length += 1 + length / 16)
            readEverything(Bytes(photo.begin(), photo.begin() + static_cast<std::ptrdiff_t>(length)));
        for (std::size_t at = 0; at < std::min<std::size_t>(photo.size(), 600); ++at) {
            Bytes damaged = photo;
            damaged[at] ^= 0xA5;
            readEverything(damaged);
        }
    }
}

}  // namespace
}  // namespace quillory
