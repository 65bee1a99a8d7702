// The preview's limits: the bytes a stream may feed the decoder, the memory it may hold, the
// caller's stop request and the deadline.
#include <gtest/gtest.h>

#include <limits>

#include "platform/imageio/image_service_factory.h"
#include "platform/imageio/jpeg_decoder.h"
#include "tests/support/support.h"

namespace quillory::imageio {
namespace {

// The preview of `file`, with the check points it passed.
std::optional<Bitmap> preview(const std::string& path, int& checks, ThumbnailOptions options = {}) {
    checks = 0;
    if (!options.shouldStop) options.shouldStop = [&] { return ++checks < 0; };
    return makeImageService()->createWithPath(path)->createThumbnailAtIndex0(options);
}

// A progressive JPEG cut after its first scan shows as far as it goes; padded with holes to
// 1 GiB (a sparse file), libjpeg would read them all looking for a marker: the budget of the
// scan ends the decode after a few MiB, read 64 KiB a check point.
TEST(DecodeBudget, streamFarLongerThanItsPictureCanNeedGivesNoPreview) {
    const std::pair<std::uintmax_t, bool> cases[] = {
        {0, true}, {8 * 1024, true}, {std::uintmax_t{1} << 30, false}};
    for (const auto& [size, shown] : cases) {
        const support::TempDir dir;
        const std::string path = dir.copy("jpeg/progressive-first-scan.jpg", "photo.jpg");
        if (size) std::filesystem::resize_file(path, size);
        int checks = 0;
        EXPECT_EQ(preview(path, checks).has_value(), shown) << size;
        EXPECT_GE(checks, shown ? 1 : 16);
        EXPECT_LT(checks, 100);
    }
}

TEST(DecodeBudget, decoderMemoryGrowsWithTheStreamUpToItsCapWithoutOverflowing) {
    const std::pair<std::int64_t, long> cases[] = {
        // clang-format off
        {0, 1L << 20}, {100 * 1024, 101L << 20}, {(kMaxDecoderMemory >> 10) - 1025, kMaxDecoderMemory - 1024},
        {kMaxDecoderMemory >> 10, kMaxDecoderMemory},
        {std::int64_t{1} << 53, kMaxDecoderMemory},  // sparse files on tmpfs, XFS, btrfs
        {std::numeric_limits<std::int64_t>::max(), kMaxDecoderMemory}
        // clang-format on
    };
    for (const auto& [bytes, memory] : cases) EXPECT_EQ(decoderMemoryFor(bytes), memory) << bytes << " bytes";
}

// Each photo's preview, stopped at every one of its check points in turn: from the image, from
// the EXIF thumbnail, and from the image past a thumbnail that does not fit (not shown either).
TEST(DecodeBudget, stopRequestAtAnyCheckPointAbandonsThePreview) {
    for (const char* file :
         {"jpeg/progressive.jpg", "jpeg/o6-thumbnail.jpg", "jpeg/thumbnail-unturned.jpg"}) {
        const std::string path = support::data(file).string();
        int checks = 0;
        ASSERT_TRUE(preview(path, checks)) << file;
        EXPECT_GT(checks, 4) << file << ": between scans and between row bands";
        for (int stopAt = 1; stopAt <= checks; ++stopAt) {
            int asked = 0;
            ThumbnailOptions options;
            options.shouldStop = [&] { return ++asked >= stopAt; };
            EXPECT_FALSE(preview(path, asked, options)) << file << " stopped at check " << stopAt;
        }
    }
}

// The clock's share of the limit: the decoder asks reached() at its check points, as above.
TEST(DecodeBudget, deadlineIsReachedOnceTheAllowanceIsSpent) {
    EXPECT_TRUE(WorkLimit({}, std::chrono::seconds(0)).reached());
    EXPECT_FALSE(WorkLimit().reached());  // two seconds
}

}  // namespace
}  // namespace quillory::imageio
