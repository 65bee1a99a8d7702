// Photos crafted to break readers: frame headers claiming gigapixels, EXIF directories that
// loop or point past their end, counts of 2^32-1, CR2 previews outside the file. Each is shown
// by the fill in a child process of its own, which also measures the memory the fill takes.
#include <gtest/gtest.h>

#include <functional>

#include "tests/hostile/hostile_support.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;
using fixtures::Bytes;
using hostile::TiffBuilder;

enum Type : std::uint16_t { kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };
enum Tag : std::uint16_t {
    kStripOffsets = 0x111,
    kModel = 0x110,
    kOrientation = 0x112,
    kStripByteCounts = 0x117,
    kThumbnailOffset = 0x201,
    kThumbnailLength = 0x202,
    kExposureTime = 0x829A,
    kExifDirectory = 0x8769,
    kIso = 0x8827,
};

Bytes plainPhoto(int width = 96, int height = 64, bool progressive = false) {
    return fixtures::encodeJpeg(fixtures::quadrantPicture(width, height, fixtures::kUpright),
                                fixtures::Colours::kRgb, progressive);
}

Bytes withThumbnail(const Bytes& jpeg) {
    fixtures::ExifFields fields;
    fields.thumbnail = plainPhoto(32, 32);
    return fixtures::withExif(jpeg, fields);
}

Bytes grayProgressive() {
    return fixtures::encodeJpeg(fixtures::quadrantPicture(64, 64, fixtures::kUpright),
                                fixtures::Colours::kGray, true);
}

Bytes text(const std::string& value) {
    Bytes bytes(value.begin(), value.end());
    bytes.push_back(0);
    return bytes;
}

Bytes segment(std::uint8_t marker, const Bytes& payload) {
    const std::size_t length = payload.size() + 2;
    Bytes out{0xFF, marker, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

// Entropy-coded bits, padded with ones and with every 0xFF byte stuffed.
class BitWriter {
public:
    void put(std::uint32_t bits, int count) {
        for (int i = count - 1; i >= 0; --i) {
            byte_ = static_cast<std::uint8_t>((byte_ << 1) | ((bits >> i) & 1));
            if (++filled_ == 8) flush();
        }
    }
    Bytes finish() {
        while (filled_ != 0) put(1, 1);
        return std::move(out_);
    }

private:
    void flush() {
        out_.push_back(byte_);
        if (byte_ == 0xFF) out_.push_back(0);
        byte_ = 0;
        filled_ = 0;
    }
    Bytes out_;
    std::uint8_t byte_ = 0;
    int filled_ = 0;
};

// A progressive grey JPEG of side x side pixels whose DC scan is followed by `scans` AC scans of
// a few bytes each, every one an end-of-band run over the whole picture: each makes a decoder
// visit every block again.
Bytes manyScans(int side, int scans) {
    const auto hi = static_cast<std::uint8_t>(side >> 8);
    const auto lo = static_cast<std::uint8_t>(side);
    Bytes jpeg{0xFF, 0xD8};
    const auto add = [&](const Bytes& bytes) { jpeg.insert(jpeg.end(), bytes.begin(), bytes.end()); };
    Bytes quantisation(65, 1);
    quantisation[0] = 0;
    add(segment(0xDB, quantisation));
    add(segment(0xC2, {8, hi, lo, hi, lo, 1, 1, 0x11, 0}));
    // DC: the code 0 is "no difference"; AC: 0 is a run of 2^14 + 14 more bits of blocks.
    add(segment(0xC4, {0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00}));
    add(segment(0xC4, {0x10, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE0, 0x00}));
    const int blocks = (side / 8) * (side / 8);
    BitWriter dc;
    for (int b = 0; b < blocks; ++b) dc.put(0, 1);
    add(segment(0xDA, {1, 1, 0x00, 0, 0, 0x00}));
    add(dc.finish());
    BitWriter runs;
    for (int covered = 0; covered < blocks; covered += 32767) runs.put(0x3FFF, 15);  // 0 then 14 ones
    const Bytes run = runs.finish();
    for (int scan = 0; scan < scans; ++scan) {
        add(segment(0xDA, {1, 1, 0x00, 1, 63, 0x00}));
        add(run);
    }
    add({0xFF, 0xD9});
    return jpeg;
}

// A TIFF structure with a model and an EXIF directory, changed by `damage` before it is put
// into a 96 x 64 JPEG: the photo's own frame and picture stay whole.
Bytes exifPhoto(const std::function<void(TiffBuilder&, std::uint32_t ifd0, std::uint32_t exif)>& damage) {
    TiffBuilder tiff;
    const std::uint32_t model = tiff.append(text("Crafted Cam"));
    const std::uint32_t exposure = tiff.append({1, 0, 0, 0, 100, 0, 0, 0});
    const std::uint32_t exif =
        tiff.directory({{kExposureTime, kRational, 1, exposure}, {kIso, kShort, 1, 200}});
    const std::uint32_t ifd0 = tiff.directory(
        {{kModel, kAscii, 12, model}, {kOrientation, kShort, 1, 1}, {kExifDirectory, kLong, 1, exif}});
    tiff.setFirst(ifd0);
    damage(tiff, ifd0, exif);
    return hostile::withApp1(plainPhoto(), tiff.bytes());
}

// IFD0 as above, then IFD1 with a thumbnail at `offset` of `length` bytes.
Bytes exifThumbnailAt(std::uint32_t offset, std::uint32_t length) {
    return exifPhoto([&](TiffBuilder& tiff, std::uint32_t ifd0, std::uint32_t) {
        const std::uint32_t ifd1 = tiff.directory({{0x103, kShort, 1, 6},
                                                   {kThumbnailOffset, kLong, 1, offset},
                                                   {kThumbnailLength, kLong, 1, length}});
        tiff.setNext(ifd0, ifd1);
    });
}

Bytes cr2(bool rgbStrip = false) {
    fixtures::Cr2Fields raw;
    if (rgbStrip) {
        raw.rgbStrip = fixtures::quadrantPicture(40, 30, fixtures::kUpright);
    } else {
        raw.preview = plainPhoto(64, 48);
        raw.thumbnail = plainPhoto(32, 24);
    }
    return fixtures::buildCr2(raw);
}

// `photo` with the value of `tag` in the `index`-th directory set to `value`, or, when `value`
// is kPastTheEnd, to an offset 4 KiB past the end of the file.
constexpr std::uint64_t kPastTheEnd = 1ull << 40;
Bytes patched(Bytes photo, std::initializer_list<std::tuple<int, std::uint16_t, std::uint64_t>> patches) {
    for (const auto& [index, tag, value] : patches) {
        const auto v = static_cast<std::uint32_t>(value == kPastTheEnd ? photo.size() + 4096 : value);
        if (!hostile::patchTiffTag(photo, index, tag, v)) throw std::runtime_error("no such tag to patch");
    }
    return photo;
}

enum class Picture { kNone, kSome, kEither };

struct Crafted {
    const char* name;
    std::function<Bytes()> bytes;
    const char* fileName;
    Picture picture;
    const char* pixelLine = nullptr;  // when given, the summary's second line
};
void PrintTo(const Crafted& c, std::ostream* os) {
    *os << c.name;
}

class CraftedFile : public ::testing::TestWithParam<Crafted> {};

TEST_P(CraftedFile, isShownSoundlyInBoundedMemory) {
    const Crafted& c = GetParam();
    const fixtures::TempDir dir;
    const fs::path photo = dir.path() / c.fileName;
    const Bytes bytes = c.bytes();
    hostile::writeFile(photo, bytes);

    const hostile::ChildResult child = hostile::inChild([&]() -> std::string {
        const hostile::FillOutcome shown = hostile::fill({hostile::urlOf(photo)});
        if (std::string wrong = hostile::unsoundness(shown, photo, static_cast<std::int64_t>(bytes.size()));
            !wrong.empty())
            return wrong;
        if (c.pixelLine && shown.summary.find(std::string("\n") + c.pixelLine + " \n") == std::string::npos)
            return "no pixel line \"" + std::string(c.pixelLine) + "\" in: " + shown.summary;
        if (c.picture == Picture::kNone && shown.picture) return "a picture was shown";
        if (c.picture == Picture::kSome && !shown.picture) return "no picture was shown";
        return {};
    });
    ASSERT_TRUE(child.exitedCleanly) << child.how << ": " << child.report;
    EXPECT_EQ(child.report, "");
    RecordProperty("peak_growth_kib", std::to_string(child.peakGrowthKiB));
    if (!hostile::underAddressSanitizer()) {
        EXPECT_LE(child.peakGrowthKiB, hostile::fillBudgetKiB(photo));
    }
}

const Crafted kCrafted[] = {
    // Frame headers.
    {"frameOf65535Squared", [] { return fixtures::withFrame(plainPhoto(), 65535, 65535); }, "photo.jpg",
     Picture::kNone, "65535 x 65535 x 8 RGB"},
    {"frameOf65535SquaredWithThumbnail",
     [] { return fixtures::withFrame(withThumbnail(plainPhoto()), 65535, 65535); }, "photo.jpg",
     Picture::kSome, "65535 x 65535 x 8 RGB"},
    {"progressiveFrameOf65535Squared",
     [] { return fixtures::withFrame(plainPhoto(96, 64, true), 65535, 65535); }, "photo.jpg", Picture::kNone,
     "65535 x 65535 x 8 RGB"},
    {"frameJustUnderTheDecodeLimit", [] { return fixtures::withFrame(plainPhoto(), 65535, 3000); },
     "photo.jpg", Picture::kEither, "65535 x 3000 x 8 RGB"},
    {"progressiveFrameOf14000Squared",
     [] { return fixtures::withFrame(plainPhoto(96, 64, true), 14000, 14000); }, "photo.jpg",
     Picture::kEither, "14000 x 14000 x 8 RGB"},
    {"progressiveGrayFrameOf20000Squared", [] { return fixtures::withFrame(grayProgressive(), 20000, 9000); },
     "photo.jpg", Picture::kEither, "20000 x 9000 x 8 Gray"},
    {"progressiveOfThirtyThousandScans", [] { return manyScans(4096, 30'000); }, "photo.jpg",
     Picture::kEither, "4096 x 4096 x 8 Gray"},
    {"frameOfNoPixels", [] { return fixtures::withFrame(plainPhoto(), 0, 0); }, "photo.jpg", Picture::kNone,
     "0 x 0 x 8 RGB"},
    {"frameOneWideAnd65535High", [] { return fixtures::withFrame(plainPhoto(), 1, 65535); }, "photo.jpg",
     Picture::kEither, "1 x 65535 x 8 RGB"},

    // EXIF directories inside a whole JPEG: the picture and its frame must survive them.
    {"exifIfd0LinkedToItself",
     [] {
         return exifPhoto([](TiffBuilder& t, std::uint32_t ifd0, std::uint32_t) { t.setNext(ifd0, ifd0); });
     },
     "photo.jpg", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifIfd0AndIfd1LinkedInACircle",
     [] {
         return exifPhoto([](TiffBuilder& t, std::uint32_t ifd0, std::uint32_t) {
             t.setNext(ifd0, t.directory({{0x103, kShort, 1, 6}}, ifd0));
         });
     },
     "photo.jpg", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifDirectoryPointingBackToIfd0",
     [] {
         return exifPhoto([](TiffBuilder& t, std::uint32_t ifd0, std::uint32_t) {
             t.setFirst(t.directory({{kModel, kAscii, 4, 0x00414141}, {kExifDirectory, kLong, 1, ifd0}}, 0));
             t.setNext(ifd0, 0);
         });
     },
     "photo.jpg", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifDirectoryInsideItself",
     [] {
         return exifPhoto([](TiffBuilder& t, std::uint32_t, std::uint32_t) {
             const std::uint32_t self = t.size();
             t.setFirst(t.directory({{kExifDirectory, kLong, 1, self}}));
         });
     },
     "photo.jpg", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifOffsetsPastTheEnd",
     [] {
         return exifPhoto([](TiffBuilder& t, std::uint32_t, std::uint32_t) {
             t.setFirst(t.directory({{kModel, kAscii, 64, 0x7FFFFFF0},
                                     {kOrientation, kShort, 1, 6},
                                     {kExifDirectory, kLong, 1, 0xFFFFFF00}},
                                    0xFFFFFFF0));
         });
     },
     "photo.jpg", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifFirstDirectoryPastTheEnd",
     [] { return exifPhoto([](TiffBuilder& t, std::uint32_t, std::uint32_t) { t.setFirst(0xFFFFFFF8); }); },
     "photo.jpg", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifThumbnailPastTheEnd", [] { return exifThumbnailAt(0x00FFFFFF, 4096); }, "photo.jpg", Picture::kSome,
     "96 x 64 x 8 RGB"},
    {"exifThumbnailOfLength2To32Minus1", [] { return exifThumbnailAt(8, 0xFFFFFFFF); }, "photo.jpg",
     Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifThumbnailIsTheWholeBlock", [] { return exifThumbnailAt(0, 400); }, "photo.jpg", Picture::kSome,
     "96 x 64 x 8 RGB"},
    {"exifCountsOf2To32Minus1",
     [] {
         return exifPhoto([](TiffBuilder& t, std::uint32_t, std::uint32_t) {
             const std::uint32_t exif = t.directory({{kExposureTime, kRational, 0xFFFFFFFF, 8},
                                                     {kIso, kShort, 0xFFFFFFFF, 8},
                                                     {0x9003, kAscii, 0xFFFFFFFF, 8}});
             t.setFirst(t.directory({{kModel, kAscii, 0xFFFFFFFF, 8},
                                     {kOrientation, kShort, 0xFFFFFFFF, 8},
                                     {kExifDirectory, kLong, 0xFFFFFFFF, exif}}));
         });
     },
     "photo.jpg", Picture::kSome, "96 x 64 x 8 RGB"},
    {"exifDirectoryClaiming65535Entries",
     [] {
         return exifPhoto([](TiffBuilder& t, std::uint32_t, std::uint32_t) {
             Bytes claim{0xFF, 0xFF};
             for (int i = 0; i < 40; ++i)
                 claim.insert(claim.end(), {0x10, 0x01, kAscii, 0, 4, 0, 0, 0, 'A', 'B', 'C', 0});
             t.setFirst(t.append(claim));
         });
     },
     "photo.jpg", Picture::kSome, "96 x 64 x 8 RGB"},

    // CR2 pictures outside the file: the next picture inside it, or none.
    {"cr2PreviewPastTheEnd",
     [] {
         return patched(cr2(), {{0, kStripOffsets, kPastTheEnd}});
     },
     "photo.CR2", Picture::kSome},
    {"cr2PreviewAndThumbnailPastTheEnd",
     [] {
         return patched(cr2(), {{0, kStripOffsets, kPastTheEnd}, {1, kThumbnailOffset, kPastTheEnd}});
     },
     "photo.CR2", Picture::kNone},
    {"cr2PicturesNear4GiB",
     [] {
         return patched(cr2(), {{0, kStripOffsets, 0xFFFFFF00}, {1, kThumbnailOffset, 0xFFFFFFF0}});
     },
     "photo.CR2", Picture::kNone},
    {"cr2PreviewOfLength2To32Minus1",
     [] {
         return patched(cr2(), {{0, kStripByteCounts, 0xFFFFFFFF}});
     },
     "photo.CR2", Picture::kSome},
    {"cr2RgbStripPastTheEnd",
     [] {
         return patched(cr2(true), {{2, kStripOffsets, kPastTheEnd}});
     },
     "photo.CR2", Picture::kNone},
    {"cr2RgbStripOfLength2To32Minus1",
     [] {
         return patched(cr2(true), {{2, kStripByteCounts, 0xFFFFFFFF}});
     },
     "photo.CR2", Picture::kSome},
    {"cr2RawDataPastTheEnd",
     [] {
         return patched(cr2(), {{3, kStripOffsets, kPastTheEnd}});
     },
     "photo.CR2", Picture::kSome},
    {"cr2ExifDirectoryPastTheEnd",
     [] {
         return patched(cr2(), {{0, kExifDirectory, kPastTheEnd}});
     },
     "photo.CR2", Picture::kSome},
    {"cr2DirectoriesInACircle",
     [] {
         Bytes raw = cr2();
         hostile::linkTiffDirectory(raw, 3, hostile::tiffDirectory(raw, 0));
         return raw;
     },
     "photo.CR2", Picture::kSome},
};

INSTANTIATE_TEST_SUITE_P(PathologicalFile, CraftedFile, ::testing::ValuesIn(kCrafted),
                         [](const ::testing::TestParamInfo<Crafted>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
}  // namespace quillory
