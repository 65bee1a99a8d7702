// The preview's limits: the bytes a stream may feed the decoder, the caller's stop request,
// the deadline, the preview size, and which files are opened at all. The photos are made here
// with libjpeg-turbo; the EXIF block around an embedded thumbnail is laid out by hand.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "platform/imageio/image_service_factory.h"
#include "platform/imageio/jpeg_decoder.h"

namespace quillory::imageio {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct Rgb {
    std::uint8_t r, g, b;
};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};

Bytes solidJpeg(int width, int height, Rgb colour, bool progressive) {
    Bytes pixels(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = colour.r;
        pixels[i + 1] = colour.g;
        pixels[i + 2] = colour.b;
    }
    // A little texture, so that every scan of a progressive stream carries data.
    for (std::size_t i = 0; i < pixels.size(); i += 97) pixels[i] ^= 0x3F;
    tjhandle handle = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int flags = progressive ? TJFLAG_PROGRESSIVE : 0;
    EXPECT_EQ(
        tjCompress2(handle, pixels.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_420, 90, flags),
        0);
    Bytes jpeg(out, out + size);
    tjFree(out);
    tjDestroy(handle);
    return jpeg;
}

void putLe(Bytes& bytes, std::size_t at, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// `jpeg` with an APP1 "Exif" segment whose IFD1 holds `thumbnail`.
Bytes withThumbnail(const Bytes& jpeg, const Bytes& thumbnail) {
    // Header, IFD0 (no entries) at 8, IFD1 (offset and length of the JPEG) at 14, the JPEG at 44.
    Bytes tiff(44, 0);
    tiff[0] = tiff[1] = 'I';
    putLe(tiff, 2, 42, 2);
    putLe(tiff, 4, 8, 4);
    putLe(tiff, 10, 14, 4);  // IFD0: 0 entries, then IFD1's offset
    putLe(tiff, 14, 2, 2);
    const std::uint32_t entries[2][2] = {{0x0201, 44},
                                         {0x0202, static_cast<std::uint32_t>(thumbnail.size())}};
    for (int i = 0; i < 2; ++i) {
        const std::size_t at = 16 + 12 * static_cast<std::size_t>(i);
        putLe(tiff, at, entries[i][0], 2);
        putLe(tiff, at + 2, 4, 2);  // LONG
        putLe(tiff, at + 4, 1, 4);
        putLe(tiff, at + 8, entries[i][1], 4);
    }
    tiff.insert(tiff.end(), thumbnail.begin(), thumbnail.end());
    const std::size_t length = 2 + 6 + tiff.size();
    Bytes app1 = {0xFF,
                  0xE1,
                  static_cast<std::uint8_t>(length >> 8),
                  static_cast<std::uint8_t>(length),
                  'E',
                  'x',
                  'i',
                  'f',
                  0,
                  0};
    app1.insert(app1.end(), tiff.begin(), tiff.end());
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), app1.begin(), app1.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

// `jpeg` cut just before its second scan: what the first scan alone shows.
Bytes firstScanOnly(const Bytes& jpeg) {
    int scans = 0;
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA && ++scans == 2)
            return Bytes(jpeg.begin(), jpeg.begin() + i);
    }
    ADD_FAILURE() << "not a progressive stream";
    return jpeg;
}

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "quillory-budget-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? fs::path(pattern) : fs::path();
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    // `bytes` as a file, then holes up to `size` bytes when that is larger.
    std::string write(const std::string& name, const Bytes& bytes, std::int64_t size = 0) const {
        const fs::path file = path_ / name;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
        if (size > std::ssize(bytes)) fs::resize_file(file, static_cast<std::uintmax_t>(size));
        return file.string();
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::optional<Bitmap> previewOf(const std::string& path, const ThumbnailOptions& options) {
    const auto source = makeImageService()->createWithPath(path);
    return source ? source->createThumbnailAtIndex0(options) : std::nullopt;
}

TEST(DecodeBudget, streamFarLongerThanItsPictureCanNeedGivesNoPreview) {
    const TempFolder folder;
    const Bytes cut = firstScanOnly(solidJpeg(64, 48, kBlue, true));
    ASSERT_LT(cut.size(), 2048u);
    constexpr std::int64_t kGiB = std::int64_t{1} << 30;
    const struct {
        const char* name;
        std::int64_t size;  // holes after the first scan, up to this size
        bool preview;
        int minChecks;  // what the budget lets it read, 64 KiB a check point
    } cases[] = {
        {"cut after its first scan", 0, true, 0},  // shown as far as it goes
        {"a few KiB of holes after it", 8 * 1024, true, 0},
        {"1 GiB of holes after it", kGiB, false, 16},  // libjpeg would read them all looking for a marker
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int checks = 0;
        ThumbnailOptions options;
        options.shouldStop = [&] { return ++checks < 0; };
        EXPECT_EQ(previewOf(folder.write("photo.jpg", cut, c.size), options).has_value(), c.preview);
        // At most a few MiB are read, never the whole file, and checked as they are read.
        EXPECT_GE(checks, c.minChecks);
        EXPECT_LT(checks, 100);
    }
}

TEST(DecodeBudget, decoderMemoryGrowsWithTheStreamUpToItsCapWithoutOverflowing) {
    const struct {
        std::int64_t bytes;
        long memory;
    } cases[] = {
        {0, 1L << 20},
        {100 * 1024, 101L << 20},
        {(kMaxDecoderMemory >> 10) - 1025, kMaxDecoderMemory - 1024},
        {kMaxDecoderMemory >> 10, kMaxDecoderMemory},
        {std::int64_t{1} << 53, kMaxDecoderMemory},  // sparse files on tmpfs, XFS, btrfs
        {std::numeric_limits<std::int64_t>::max(), kMaxDecoderMemory},
    };
    for (const auto& c : cases) EXPECT_EQ(decoderMemoryFor(c.bytes), c.memory) << c.bytes << " bytes";
}

// Each photo's preview, stopped at every one of its check points in turn.
TEST(DecodeBudget, stopRequestAtAnyCheckPointAbandonsThePreview) {
    const TempFolder folder;
    const struct {
        const char* name;
        Bytes photo;
    } cases[] = {
        {"progressive, from the image", solidJpeg(128, 96, kBlue, true)},
        {"from the EXIF thumbnail",
         withThumbnail(solidJpeg(128, 96, kBlue, false), solidJpeg(160, 120, kRed, true))},
        {"from the image, past a thumbnail that does not fit",  // stopped, the thumbnail is not shown either
         withThumbnail(solidJpeg(128, 96, kBlue, true), solidJpeg(120, 160, kRed, false))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.write("photo.jpg", c.photo);
        int checks = 0;
        ThumbnailOptions counting;
        counting.shouldStop = [&] { return ++checks < 0; };
        ASSERT_TRUE(previewOf(path, counting));
        EXPECT_GT(checks, 8) << "between scans and between row bands";
        for (int stopAt = 1; stopAt <= checks; ++stopAt) {
            int asked = 0;
            ThumbnailOptions options;
            options.shouldStop = [&] { return ++asked >= stopAt; };
            EXPECT_FALSE(previewOf(path, options)) << "stopped at check " << stopAt;
        }
    }
}

TEST(DecodeBudget, deadlineEndsTheDecode) {
    const Bytes jpeg = solidJpeg(256, 192, kBlue, true);
    const JpegStream stream = JpegStream::inMemory(jpeg.data(), jpeg.size());
    WorkLimit spent({}, std::chrono::seconds(0));
    EXPECT_FALSE(decodeJpeg(stream, 500, Truncation::kAccept, spent));
    WorkLimit ample({}, std::chrono::hours(1));
    EXPECT_TRUE(decodeJpeg(stream, 500, Truncation::kAccept, ample));
}

// The picture's size and the colour at its centre: the embedded thumbnail is red, the image blue.
TEST(DecodeBudget, fromImageAlwaysPassesOverTheThumbnailAtAtMost500Pixels) {
    const TempFolder folder;
    const std::string path = folder.write(
        "photo.jpg", withThumbnail(solidJpeg(800, 600, kBlue, false), solidJpeg(160, 120, kRed, false)));
    const struct {
        bool always;
        int maxSide;
        int width;
        int height;
        Rgb centre;
    } cases[] = {
        {false, 500, 160, 120, kRed}, {false, 100, 100, 75, kRed},   {true, 500, 500, 375, kBlue},
        {true, 320, 320, 240, kBlue}, {true, 4000, 500, 375, kBlue}, {true, 0, 500, 375, kBlue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.always ? "always" : "if absent") << " at " << c.maxSide);
        ThumbnailOptions options;
        options.createThumbnailFromImageAlways = c.always;
        options.thumbnailMaxPixelSize = c.maxSide;
        const auto preview = previewOf(path, options);
        ASSERT_TRUE(preview);
        EXPECT_EQ(preview->width, c.width);
        EXPECT_EQ(preview->height, c.height);
        const std::uint8_t* centre = preview->pixel(preview->width / 2, preview->height / 2);
        EXPECT_NEAR(centre[0], c.centre.r, 40);
        EXPECT_NEAR(centre[2], c.centre.b, 40);
    }
}

TEST(PhotoFileOpen, refusesAPathSwappedBetweenLookAndOpen) {
    const TempFolder folder;
    const std::string photo = folder.write("photo.jpg", {1, 2, 3});
    const std::string other = folder.write("other.jpg", {4, 5, 6});
    const std::string fifo = (folder.path() / "fifo.jpg").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct stat seen {};
    ASSERT_EQ(::stat(photo.c_str(), &seen), 0);
    const FileIdentity identity{static_cast<std::uint64_t>(seen.st_dev),
                                static_cast<std::uint64_t>(seen.st_ino)};
    const struct {
        const std::string& path;
        const char* why;  // empty: opened
    } cases[] = {
        {photo, ""},
        {other, "replaced while being opened"},
        {fifo, "not a regular file"},  // and the open did not wait for a writer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string why;
        const auto file = PhotoFile::openSeen(c.path, identity, &why);
        EXPECT_EQ(why, c.why);
        EXPECT_EQ(file != nullptr, why.empty());
        if (file) {
            EXPECT_EQ(::fcntl(file->fd(), F_GETFL) & O_NONBLOCK, 0);  // reads wait, as on a network mount
        }
    }
}

}  // namespace
}  // namespace quillory::imageio
