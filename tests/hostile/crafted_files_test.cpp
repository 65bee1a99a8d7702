// Photos crafted to break readers (tests/data/crafted, described in its README): frame headers
// claiming gigapixels, EXIF directories that loop or point past their end, counts of 2^32-1,
// CR2 pictures outside the file. Each is shown by the fill in a child process of its own, which
// also measures the memory the fill takes.
#include <gtest/gtest.h>

#include "tests/hostile/hostile_support.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;

enum class Picture { kNone, kSome, kEither };

struct Crafted {
    const char* name;  // of the file in tests/data/crafted; those of CR2s start with "cr2"
    Picture picture;
    const char* pixelLine = nullptr;  // when given, the summary's second line
};
void PrintTo(const Crafted& c, std::ostream* os) {
    *os << c.name;
}

class CraftedFile : public ::testing::TestWithParam<Crafted> {};

TEST_P(CraftedFile, isShownSoundlyInBoundedMemory) {
    const Crafted& c = GetParam();
    const std::string name = c.name;
    const bool raw = name.rfind("cr2", 0) == 0;
    const support::TempDir dir;
    const fs::path photo =
        dir.copy("crafted/" + name + (raw ? ".CR2" : ".jpg"), raw ? "photo.CR2" : "photo.jpg");
    const auto bytes = static_cast<std::int64_t>(fs::file_size(photo));

    const hostile::ChildResult child = hostile::inChild([&]() -> std::string {
        const hostile::FillOutcome shown = hostile::fill({hostile::urlOf(photo)});
        if (std::string wrong = hostile::unsoundness(shown, photo, bytes); !wrong.empty()) return wrong;
        if (c.pixelLine && shown.summary.find(std::string("\n") + c.pixelLine + " \n") == std::string::npos)
            return "no pixel line \"" + std::string(c.pixelLine) + "\" in: " + shown.summary;
        if (c.picture == Picture::kNone && shown.picture) return "a picture was shown";
        if (c.picture == Picture::kSome && !shown.picture) return "no picture was shown";
        return {};
    });
    ASSERT_TRUE(child.exitedCleanly) << child.how << ": " << child.report;
    EXPECT_EQ(child.report, "");
    RecordProperty("peak_growth_kib", std::to_string(child.peakGrowthKiB));
    if (!support::kAddressSanitizer) {
        EXPECT_LE(child.peakGrowthKiB, hostile::fillBudgetKiB(bytes));
    }
}

const Crafted kCrafted[] = {
    // Frame headers.
    {"frameOf65535Squared", Picture::kNone, "65535 x 65535 x 8 RGB"},
    {"frameOf65535SquaredWithThumbnail", Picture::kSome, "65535 x 65535 x 8 RGB"},
    {"progressiveFrameOf65535Squared", Picture::kNone, "65535 x 65535 x 8 RGB"},
    {"frameJustUnderTheDecodeLimit", Picture::kEither, "65535 x 3000 x 8 RGB"},
    {"progressiveFrameOf14000Squared", Picture::kEither, "14000 x 14000 x 8 RGB"},
    {"progressiveGrayFrameOf20000Squared", Picture::kEither, "20000 x 9000 x 8 Gray"},
    {"progressiveOf200Scans", Picture::kNone, "2048 x 2048 x 8 Gray"},  // past the scan limit
    {"frameOfNoPixels", Picture::kNone, "0 x 0 x 8 RGB"},
    {"frameOneWideAnd65535High", Picture::kEither, "1 x 65535 x 8 RGB"},
    // EXIF directories inside a whole JPEG: the picture and its frame must survive them.
    {"exifIfd0LinkedToItself", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifIfd0AndIfd1LinkedInACircle", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifDirectoryPointingBackToIfd0", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifDirectoryInsideItself", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifOffsetsPastTheEnd", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifFirstDirectoryPastTheEnd", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifThumbnailPastTheEnd", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifThumbnailOfLength2To32Minus1", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifThumbnailIsTheWholeBlock", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifCountsOf2To32Minus1", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifDirectoryClaiming65535Entries", Picture::kSome, "96 x 64 x 8 RGB"},
    // CR2 pictures outside the file: the next picture inside it, or none.
    {"cr2PreviewPastTheEnd", Picture::kSome},
    {"cr2PreviewAndThumbnailPastTheEnd", Picture::kNone},
    {"cr2PicturesNear4GiB", Picture::kNone},
    {"cr2PreviewOfLength2To32Minus1", Picture::kSome},
    {"cr2RgbStripPastTheEnd", Picture::kNone},
    {"cr2RgbStripOfLength2To32Minus1", Picture::kSome},
    {"cr2RawDataPastTheEnd", Picture::kSome},
    {"cr2ExifDirectoryPastTheEnd", Picture::kSome},
    {"cr2DirectoriesInACircle", Picture::kSome},
};

INSTANTIATE_TEST_SUITE_P(PathologicalFile, CraftedFile, ::testing::ValuesIn(kCrafted),
                         [](const auto& param) { return std::string(param.param.name); });

// Every input that once broke the fill (fuzzer findings, and the smallest forms of faults the
// hostile tests found), kept in regressions/: each is shown soundly under either photo name.
TEST(FuzzRegression, everyKeptInputIsShownSoundly) {
    std::vector<fs::path> inputs;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(QUILLORY_REGRESSIONS_DIR, missing))
        if (entry.path().extension() == ".bin") inputs.push_back(entry.path());
    if (inputs.empty()) GTEST_SKIP() << "no inputs kept in " << QUILLORY_REGRESSIONS_DIR;
    const support::TempDir dir;
    for (const fs::path& input : inputs) {
        for (const char* name : {"photo.jpg", "photo.CR2"}) {
            const fs::path photo = dir.write(name, support::readFile(input));
            EXPECT_EQ(hostile::showInChild(photo), "") << input.filename() << " as " << name;
        }
    }
}

}  // namespace
}  // namespace quillory
