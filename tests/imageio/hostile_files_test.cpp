#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/imageio/image_service_factory.h"
#include "tests/imageio/fixtures.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;
using fixtures::Bytes;

// Calls everything a fill calls; the point is that it returns at all, without a crash.
void readEverything(ImageService& service, const std::string& path) {
    const auto source = service.createWithPath(path);
    if (!source) return;
    (void)source->copyPropertiesAtIndex0();
    (void)source->copyProperties();
    (void)source->createThumbnailAtIndex0(kThumbnailOptions);
}

Bytes photoWithThumbnail() {
    fixtures::ExifFields fields;
    fields.model = "Hostile";
    fields.orientation = 6;
    fields.thumbnail = fixtures::encodeJpeg(fixtures::quadrantPicture(32, 24, fixtures::kUpright));
    return fixtures::withExif(fixtures::encodeJpeg(fixtures::quadrantPicture(96, 64, fixtures::kUpright)),
                              fields);
}

TEST(ImageService, opensNothingButRegularFilesAndSaysWhy) {
    const fixtures::TempDir dir;
    const fs::path fifo = dir.path() / "fifo.jpg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // no writer: a blocking open would hang here
    fs::create_directory(dir.path() / "folder.jpg");
    fs::create_symlink("/dev/null", dir.path() / "device.jpg");
    fs::create_symlink(dir.path() / "gone.jpg", dir.path() / "dangling.jpg");
    const struct {
        const char* name;
        const char* why;
    } cases[] = {
        {"fifo.jpg", "not a regular file"},           {"folder.jpg", "not a regular file"},
        {"device.jpg", "not a regular file"},         {"dangling.jpg", "No such file or directory"},
        {"missing.jpg", "No such file or directory"},
    };
    const auto service = imageio::makeImageService();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string why;
        EXPECT_EQ(service->createWithPath((dir.path() / c.name).string(), &why), nullptr);
        EXPECT_EQ(why, c.why);
    }
}

TEST(ImageService, saysPermissionDeniedForUnreadableFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    const fixtures::TempDir dir;
    const std::string path = dir.write("locked.jpg", photoWithThumbnail());
    fs::permissions(path, fs::perms::none);
    std::string why;
    EXPECT_EQ(imageio::makeImageService()->createWithPath(path, &why), nullptr);
    EXPECT_EQ(why, "Permission denied");
}

TEST(ImageService, givesSizeButNoImageForFilesOfNoKnownKind) {
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"notes.jpg", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}},
        {"empty.jpg", Bytes{}},
        {"plain.tif.CR2", Bytes{'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0, 0}},
        {"start-only.jpg", Bytes{0xFF, 0xD8}},
    };
    const fixtures::TempDir dir;
    const auto service = imageio::makeImageService();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto source = service->createWithPath(dir.write(c.name, c.bytes));
        ASSERT_NE(source, nullptr);
        EXPECT_FALSE(source->copyPropertiesAtIndex0());
        const auto container = source->copyProperties();
        ASSERT_TRUE(container);
        EXPECT_EQ(container->fileSize, static_cast<std::int64_t>(c.bytes.size()));
        EXPECT_FALSE(source->createThumbnailAtIndex0(kThumbnailOptions));
    }
}

TEST(ImageService, readsPhotoThroughSymlinkAndByContentNotName) {
    const fixtures::TempDir dir;
    const std::string photo = dir.write("named wrongly.CR2", photoWithThumbnail());
    fs::create_symlink(photo, dir.path() / "link.jpg");
    const auto source = imageio::makeImageService()->createWithPath((dir.path() / "link.jpg").string());
    ASSERT_NE(source, nullptr);
    const auto properties = source->copyPropertiesAtIndex0();
    ASSERT_TRUE(properties);
    EXPECT_EQ(properties->colorModel, "RGB");
    EXPECT_TRUE(source->createThumbnailAtIndex0(kThumbnailOptions));
}

TEST(ImageService, showsTruncatedImageAsFarAsItGoes) {
    const Bytes whole = fixtures::encodeJpeg(fixtures::quadrantPicture(400, 300, fixtures::kUpright));
    const fixtures::TempDir dir;
    const auto source = imageio::makeImageService()->createWithPath(dir.write(
        "cut.jpg", Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() * 2 / 3))));
    ASSERT_NE(source, nullptr);
    const auto preview = source->createThumbnailAtIndex0(kThumbnailOptions);
    ASSERT_TRUE(preview);
    EXPECT_TRUE(fixtures::near(fixtures::sampleQuadrants(*preview).topLeft, fixtures::kRed));
}

// Every prefix of a photo, and the photo with each header byte replaced: nothing may crash,
// hang or read out of bounds (the sanitizer build watches the last).
TEST(ImageService, survivesEveryTruncationAndHeaderByteDamage) {
    fixtures::Cr2Fields raw;
    raw.preview = fixtures::encodeJpeg(fixtures::quadrantPicture(64, 48, fixtures::kUpright));
    raw.thumbnail = raw.preview;
    const std::pair<const char*, Bytes> photos[] = {{"jpeg", photoWithThumbnail()},
                                                    {"cr2", fixtures::buildCr2(raw)}};
    const fixtures::TempDir dir;
    const auto service = imageio::makeImageService();
    for (const auto& [kind, photo] : photos) {
        SCOPED_TRACE(kind);
        for (std::size_t length = 0; length < photo.size(); length += 1 + length / 16) {
            readEverything(*service,
                           dir.write("cut.jpg", Bytes(photo.begin(),
                                                      photo.begin() + static_cast<std::ptrdiff_t>(length))));
        }
        for (std::size_t at = 0; at < std::min<std::size_t>(photo.size(), 600); ++at) {
            Bytes damaged = photo;
            damaged[at] ^= 0xA5;
            readEverything(*service, dir.write("damaged.jpg", damaged));
        }
    }
}

}  // namespace
}  // namespace quillory
