// Files that are not what their name says, files that change under the program, and photos
// crafted to break readers (tests/data/crafted, described in its README): frame headers claiming
// gigapixels, EXIF directories that loop or point past their end, counts of 2^32-1, CR2 pictures
// outside the file; and every input that once broke the fill (regressions/). Only regular files
// are opened, nothing waits or crashes, and what the fill shows is sound and within its memory
// budget.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/imageio/photo_file.h"
#include "tests/hostile/hostile_support.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;

enum Picture { kNone, kSome, kEither };

// Shows `file` as `name` (the qualifying test goes by the name); what is wrong, or empty.
std::string show(const fs::path& file, const std::string& name, Picture picture, const char* pixelLine) {
    const support::TempDir dir;
    const fs::path photo = dir.write(name, support::readFile(file));
    hostile::FillOutcome shown;
    const long growth = hostile::peakGrowthKiB([&] { shown = hostile::fill({hostile::urlOf(photo)}); });
    if (growth > hostile::kFillBudgetKiB) return "the fill took " + std::to_string(growth) + " KiB";
    if (std::string wrong = hostile::unsoundness(shown, photo, fs::file_size(photo)); !wrong.empty())
        return wrong;
    if (pixelLine && shown.summary.find(std::string("\n") + pixelLine + " \n") == std::string::npos)
        return "no pixel line \"" + std::string(pixelLine) + "\" in: " + shown.summary;
    if (picture != kEither && (shown.picture != nullptr) != (picture == kSome))
        return shown.picture ? "a picture was shown" : "no picture was shown";
    return {};
}

TEST(PathologicalFile, craftedFileIsShownSoundlyInBoundedMemory) {
    const char* k96x64 = "96 x 64 x 8 RGB";
    const struct {
        const char* name;  // of the file in tests/data/crafted; those of CR2s start with "cr2"
        Picture picture;
        const char* pixelLine = nullptr;  // when given, the summary's second line
    } cases[] = {
        // clang-format off
        {"frameOf65535Squared", kNone, "65535 x 65535 x 8 RGB"},
        {"frameOf65535SquaredWithThumbnail", kSome, "65535 x 65535 x 8 RGB"},
        {"progressiveFrameOf65535Squared", kNone, "65535 x 65535 x 8 RGB"},
        {"frameJustUnderTheDecodeLimit", kEither, "65535 x 3000 x 8 RGB"},
        {"progressiveFrameOf14000Squared", kEither, "14000 x 14000 x 8 RGB"},
        {"progressiveGrayFrameOf20000Squared", kEither, "20000 x 9000 x 8 Gray"},
        {"progressiveOf200Scans", kNone, "2048 x 2048 x 8 Gray"},  // past the scan limit
        {"frameOfNoPixels", kNone, "0 x 0 x 8 RGB"}, {"frameOneWideAnd65535High", kEither, "1 x 65535 x 8 RGB"},
        // EXIF directories inside a whole JPEG: the picture and its frame must survive them.
        {"exifIfd0LinkedToItself", kSome, k96x64}, {"exifIfd0AndIfd1LinkedInACircle", kSome, k96x64},
        {"exifDirectoryPointingBackToIfd0", kSome, k96x64}, {"exifDirectoryInsideItself", kSome, k96x64},
        {"exifOffsetsPastTheEnd", kSome, k96x64}, {"exifFirstDirectoryPastTheEnd", kSome, k96x64},
        {"exifThumbnailPastTheEnd", kSome, k96x64}, {"exifThumbnailOfLength2To32Minus1", kSome, k96x64},
        {"exifThumbnailIsTheWholeBlock", kSome, k96x64}, {"exifCountsOf2To32Minus1", kSome, k96x64},
        {"exifDirectoryClaiming65535Entries", kSome, k96x64},
        // CR2 pictures outside the file: the next picture inside it, or none.
        {"cr2PreviewPastTheEnd", kSome}, {"cr2PreviewAndThumbnailPastTheEnd", kNone},
        {"cr2PicturesNear4GiB", kNone}, {"cr2PreviewOfLength2To32Minus1", kSome},
        {"cr2RgbStripPastTheEnd", kNone}, {"cr2RgbStripOfLength2To32Minus1", kSome},
        {"cr2RawDataPastTheEnd", kSome}, {"cr2ExifDirectoryPastTheEnd", kSome}, {"cr2DirectoriesInACircle", kSome}
        // clang-format on
    };
    for (const auto& c : cases) {
        const bool raw = std::string_view(c.name).starts_with("cr2");
        const fs::path file = support::data(std::string("crafted/") + c.name + (raw ? ".CR2" : ".jpg"));
        EXPECT_EQ(show(file, raw ? "photo.CR2" : "photo.jpg", c.picture, c.pixelLine), "") << c.name;
    }
}

// Every input that once broke the fill (fuzzer findings, and the smallest forms of faults the
// hostile tests found), kept in regressions/: each is shown soundly under either photo name.
TEST(FuzzRegression, everyKeptInputIsShownSoundly) {
    int shown = 0;
    for (const auto& entry : fs::directory_iterator(QUILLORY_REGRESSIONS_DIR)) {
        if (entry.path().extension() != ".bin") continue;
        for (const char* name : {"photo.jpg", "photo.CR2"})
            EXPECT_EQ(show(entry.path(), name, kEither, nullptr), "")
                << entry.path().filename() << " as " << name;
        ++shown;
    }
    EXPECT_GT(shown, 0);
}

// The fixture `file` as `photo`, cut to `size` bytes when it is longer.
void writeCut(const fs::path& photo, const char* file, std::uintmax_t size) {
    support::writeFile(photo, support::readFile(support::data(file)));
    if (size < fs::file_size(photo)) fs::resize_file(photo, size);
}

TEST(PathologicalFile, namedAsPhotoIsShownWithAbsentValuesAndNoPicture) {
    const struct {
        const char* name;
        std::function<void(const fs::path& photo)> make;
        const char* why;  // what the image service says; empty: opened
        const char* urlSuffix = "";
    } cases[] = {
        // clang-format off
        {"fifo without a writer", [](auto& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, "not a regular file"},
        {"link to a device", [](auto& p) { fs::create_symlink("/dev/zero", p); }, "not a regular file"},
        {"folder", [](auto& p) { fs::create_directory(p); }, "not a regular file"},
        {"folder URL", [](auto& p) { fs::create_directory(p); }, "not a regular file", "/"},
        {"dangling link", [](auto& p) { fs::create_symlink(p.parent_path() / "gone", p); }, "No such file or directory"},
        {"link to itself", [](auto& p) { fs::create_symlink(p, p); }, "Too many levels of symbolic links"},
        {"empty file", [](auto& p) { support::writeFile(p, {}); }, ""},
        {"text", [](auto& p) { support::writeFile(p, {'h', 'i', '\n'}); }, ""},
        // Regular to fstat, of size 0, yet never-ending when read.
        {"link to a /proc file", [](auto& p) { fs::create_symlink("/proc/self/status", p); }, ""}
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const support::TempDir dir;
        const fs::path photo = dir.path() / "photo.jpg";
        c.make(photo);
        std::string why;
        (void)imageio::makeImageService()->createWithPath(photo.string(), &why);
        EXPECT_EQ(why, c.why);
        const hostile::FillOutcome shown = hostile::fill({hostile::urlOf(photo) + c.urlSuffix});
        EXPECT_EQ(hostile::unsoundness(shown, photo, 0), "");
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

// The size is taken when the file is opened; whatever the file holds when the preview is made,
// the preview is sound or none.
TEST(PathologicalFile, changedBetweenReadsGivesASoundPreviewOrNone) {
    const struct {
        const char* file;
        std::uintmax_t atOpen;  // the file's size when opened
        std::uintmax_t atPreview;
    } cases[] = {
        // clang-format off
        {"jpeg/o1.jpg", 3400, 99999},  // grown
        {"jpeg/o1.jpg", 99999, 4500}, {"jpeg/o1.jpg", 99999, 2200}, {"jpeg/o1.jpg", 99999, 0},
        {"jpeg/o6-thumbnail.jpg", 99999, 6000}, {"jpeg/o6-thumbnail.jpg", 99999, 16},
        {"cr2/plain.CR2", 99999, 1300}, {"cr2/plain.CR2", 99999, 600}
        // clang-format on
    };
    const auto images = imageio::makeImageService();
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.file << " " << c.atOpen << " then " << c.atPreview);
        const support::TempDir dir;
        const fs::path photo = dir.path() / fs::path(c.file).filename();
        writeCut(photo, c.file, c.atOpen);
        const auto source = images->createWithPath(photo.string());
        ASSERT_TRUE(source->copyPropertiesAtIndex0());
        const auto opened = fs::file_size(photo);
        writeCut(photo, c.file, c.atPreview);
        EXPECT_EQ(source->copyProperties()->fileSize, static_cast<std::int64_t>(opened));
        if (const auto preview = source->createThumbnailAtIndex0(kThumbnailOptions)) {
            EXPECT_LE(std::max(preview->width, preview->height), 500);
            EXPECT_EQ(preview->rgb.size(), static_cast<std::size_t>(preview->width) * preview->height * 3);
        }
    }
}

}  // namespace
}  // namespace quillory
