// Photos crafted to break readers (tests/data/crafted, described in its README): frame headers
// claiming gigapixels, EXIF directories that loop or point past their end, counts of 2^32-1,
// CR2 pictures outside the file; and every input that once broke the fill (regressions/).
// Each is shown soundly, within the fill's memory budget.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillory
