#include "platform/imageio/tiff_directories.h"

#include <gtest/gtest.h>

#include "tests/support/support.h"

namespace quillory::imageio {
namespace {

// How much of a file's front holds its TIFF directories and their small values, and where the
// EXIF directory's maker note entry is (tests/data/tiff, described in its README).
TEST(TiffDirectories, coverEveryDirectoryAndSmallValueButNothingTheSummaryNeverReads) {
    const struct {
        const char* file;
        std::optional<std::int64_t> length;  // none: not a TIFF file
        std::optional<std::int64_t> makerNote = {};
        std::uintmax_t growTo = 0;             // holes after the file's bytes, up to this size
    } cases[] = {{"tiff/chain-le.tif", 2530},  // the interoperability directory's text ends last
                 {"tiff/chain-be.tif", 2530},
                 {"tiff/makernote-far.tif", 218, 202},
                 {"tiff/large-blob.tif", 218},
                 {"tiff/value-past-end.tif", 218},
                 {"tiff/value-running-off.tif", 218},
                 {"tiff/value-at-3MiB.tif", kMaxTiffMetadata, {}, (3u << 20) + 64},
                 {"tiff/makernote-be.tif", 308, 114},
                 {"tiff/chain-to-itself.tif", 26},
                 {"tiff/exif-pointer-to-ifd0.tif", 26},
                 {"tiff/directory-cut-short.tif", 64},  // its last entry, cut in half, is no maker note
                 {"tiff/ifd0-past-end.tif", {}},
                 {"tiff/ifd0-in-header.tif", {}},
                 {"tiff/mixed-byte-order-mark.tif", {}},
                 {"tiff/header-only.tif", {}},
                 {"jpeg/bare.jpg", {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const support::TempDir dir;
        const std::string path = dir.copy(c.file, "IMG_0001.CR2");
        if (c.growTo) std::filesystem::resize_file(path, c.growTo);
        const auto metadata = locateTiffMetadata(*PhotoFile::open(path, nullptr));
        EXPECT_EQ(metadata ? std::optional(metadata->length) : std::nullopt, c.length);
        EXPECT_EQ(metadata ? metadata->makerNoteEntry : std::nullopt, c.makerNote);
    }
}

}  // namespace
}  // namespace quillory::imageio
