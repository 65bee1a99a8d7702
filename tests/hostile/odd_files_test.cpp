// Files that are not what their name says, and files that change under the program. Only
// regular files are opened, nothing waits or crashes, and the panel stays sound: the name,
// absent values, no picture.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "platform/imageio/image_service_factory.h"
#include "platform/imageio/photo_file.h"
#include "tests/hostile/hostile_support.h"
#include "tests/support/quadrants.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;
using hostile::unsoundness;
using hostile::urlOf;
using support::Bytes;

// The first `keep` bytes of a fixture.
Bytes fixture(const char* name, std::size_t keep) {
    const Bytes bytes = support::readFile(support::data(name));
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(keep, bytes.size())));
}

TEST(PathologicalFile, namedAsPhotoIsShownWithAbsentValuesAndNoPicture) {
    const struct {
        const char* name;
        std::function<void(const fs::path& photo)> make;
        const char* why;  // what the image service says; empty: opened
        const char* urlSuffix = "";
    } cases[] = {
        {"fifo without a writer", [](auto& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         "not a regular file"},
        {"link to a device", [](auto& p) { fs::create_symlink("/dev/zero", p); }, "not a regular file"},
        {"folder", [](auto& p) { fs::create_directory(p); }, "not a regular file"},
        {"folder URL", [](auto& p) { fs::create_directory(p); }, "not a regular file", "/"},
        {"dangling link", [](auto& p) { fs::create_symlink(p.parent_path() / "gone", p); },
         "No such file or directory"},
        {"link to itself", [](auto& p) { fs::create_symlink(p, p); }, "Too many levels of symbolic links"},
        {"empty file", [](auto& p) { support::writeFile(p, {}); }, ""},
        // Regular to fstat, of size 0, yet never-ending when read.
        {"link to a /proc file", [](auto& p) { fs::create_symlink("/proc/self/status", p); }, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const support::TempDir dir;
        const fs::path photo = dir.path() / "photo.jpg";
        c.make(photo);
        std::string why;
        (void)imageio::makeImageService()->createWithPath(photo.string(), &why);
        EXPECT_EQ(why, c.why);
        const hostile::FillOutcome shown = hostile::fill({urlOf(photo) + c.urlSuffix});
        EXPECT_EQ(unsoundness(shown, photo, 0), "");
        EXPECT_TRUE(!shown.picture &&
                    shown.summary.find("\n(null) x (null) x (null) (null) \n") != std::string::npos)
            << shown.summary;
    }
}

// The path is looked at first, then opened: what it names by then must be the same regular file.
TEST(PathologicalFile, swappedBetweenLookAndOpenIsRefused) {
    const support::TempDir dir;
    const std::string photo = dir.write("photo.jpg", {1, 2, 3});
    const std::string other = dir.write("other.jpg", {4, 5, 6});
    const std::string fifo = (dir.path() / "fifo.jpg").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct stat seen {};
    ASSERT_EQ(::stat(photo.c_str(), &seen), 0);
    const imageio::FileIdentity identity{seen.st_dev, seen.st_ino};
    const std::pair<std::string, const char*> cases[] = {
        {photo, ""}, {other, "replaced while being opened"}, {fifo, "not a regular file"}};
    for (const auto& [path, reason] : cases) {
        std::string why;
        const auto file = imageio::PhotoFile::openSeen(path, identity, &why);  // never waits for a writer
        EXPECT_EQ(why, reason) << path;
        EXPECT_EQ(file != nullptr, why.empty());
        if (file) {
            EXPECT_EQ(::fcntl(file->fd(), F_GETFL) & O_NONBLOCK, 0);  // reads wait, as on a network mount
        }
    }
}

// The size is taken when the file is opened: the preview is made of the bytes there were then,
// or of fewer when the file was cut meanwhile.
TEST(PathologicalFile, changedBetweenReadsGivesAPreviewOfTheBytesItFindsOrNone) {
    const struct {
        const char* file;
        std::size_t atOpen;
        std::size_t atPreview;
    } cases[] = {
        // clang-format off
        {"jpeg/o1.jpg", 3400, 99999},  // grown: the upper half shows
        {"jpeg/o1.jpg", 99999, 4500}, {"jpeg/o1.jpg", 99999, 2200}, {"jpeg/o1.jpg", 99999, 0},
        {"jpeg/o6-thumbnail.jpg", 99999, 6000}, {"jpeg/o6-thumbnail.jpg", 99999, 16},
        {"cr2/plain.CR2", 99999, 1300}, {"cr2/plain.CR2", 99999, 600}
        // clang-format on
    };
    const auto images = imageio::makeImageService();
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.file << " " << c.atOpen << " then " << c.atPreview);
        const support::TempDir dir;
        const fs::path photo = dir.write(fs::path(c.file).filename(), fixture(c.file, c.atOpen));
        const auto source = images->createWithPath(photo.string());
        ASSERT_NE(source, nullptr);
        ASSERT_TRUE(source->copyPropertiesAtIndex0());
        const auto opened = fs::file_size(photo);
        support::writeFile(photo, fixture(c.file, c.atPreview));
        EXPECT_EQ(source->copyProperties()->fileSize, static_cast<std::int64_t>(opened));
        const auto preview = source->createThumbnailAtIndex0(kThumbnailOptions);
        if (c.atOpen < c.atPreview) {
            ASSERT_TRUE(preview);
            EXPECT_EQ(preview->width, 400);
            EXPECT_TRUE(support::near(support::sampleQuadrants(*preview).topLeft, support::kRed));
        } else if (preview) {
            EXPECT_LE(std::max(preview->width, preview->height), 500);
            EXPECT_EQ(preview->rgb.size(), static_cast<std::size_t>(preview->width) * preview->height * 3);
        }
    }
}

}  // namespace
}  // namespace quillory
