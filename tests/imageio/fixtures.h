#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "inspection/image_service.h"

// Photo files the image service tests write for themselves: JPEGs encoded with libjpeg-turbo,
// EXIF blocks encoded with exiv2, and small CR2 files laid out by hand.
namespace quillory::fixtures {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kGreen{0, 255, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kWhite{255, 255, 255};

// A picture of four solid quadrants, each named by where it sits.
struct Quadrants {
    Rgb topLeft;
    Rgb topRight;
    Rgb bottomLeft;
    Rgb bottomRight;
};
inline constexpr Quadrants kUpright{kRed, kGreen, kBlue, kWhite};

Bitmap quadrantPicture(int width, int height, const Quadrants& quadrants);
// The colour at the centre of each quadrant of `picture`.
Quadrants sampleQuadrants(const Bitmap& picture);
bool near(Rgb a, Rgb b, int tolerance = 40);

enum class Colours { kRgb, kGray, kCmyk };
// `picture` as a JPEG; kGray keeps only its green, kCmyk stores Adobe-inverted CMYK.
Bytes encodeJpeg(const Bitmap& picture, Colours colours = Colours::kRgb, bool progressive = false);

struct ExifFields {
    std::optional<int> orientation;
    std::optional<std::string> model;  // written as stored, NULs and blanks included
    std::optional<std::string> dateTimeOriginal;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> exposureTime;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> fNumber;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> focalLength;
    std::vector<std::uint16_t> iso;
    Bytes thumbnail;  // IFD1's JPEG, any bytes
};
// `jpeg` with an APP1 "Exif" segment right after its start-of-image.
Bytes withExif(const Bytes& jpeg, const ExifFields& fields);
// `jpeg` with its frame header claiming another size (and, when given, another precision).
Bytes withFrame(Bytes jpeg, int width, int height, std::optional<int> precision = std::nullopt);

struct Cr2Fields {
    int orientation = 1;
    std::string model = "Canon EOS Fixture";
    std::optional<int> pixelWidth;  // ExifImageWidth / ExifImageHeight
    std::optional<int> pixelHeight;
    Bytes preview;                   // IFD0's large JPEG
    Bytes thumbnail;                 // IFD1's small JPEG
    std::optional<Bitmap> rgbStrip;  // IFD2's 8-bit RGB picture
    int rawPrecision = 14;           // of the lossless JPEG header in IFD3's strip
    int rawWidth = 2600;             // per component, as Canon writes it
    int rawHeight = 3500;
    int rawComponents = 2;
    bool cutPreviewInHalf = false;  // the file ends in the middle of the preview
    Bytes makerNote;                // the EXIF directory's MakerNote, any bytes
};
Bytes buildCr2(const Cr2Fields& fields);

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string write(const std::string& name, const Bytes& bytes) const;

private:
    std::filesystem::path path_;
};

}  // namespace quillory::fixtures
