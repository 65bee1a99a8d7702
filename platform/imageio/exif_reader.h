#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "inspection/properties.h"
#include "platform/imageio/photo_file.h"

namespace quillory::imageio {

// An uncompressed, interleaved 8-bit RGB picture stored in one strip.
struct RgbStrip {
    ByteRange bytes;
    int width = 0;
    int height = 0;
};

// Where a TIFF-based raw file keeps its pictures, as its image file directories say.
struct RawLayout {
    std::optional<ByteRange> ifd0Jpeg;       // the large preview
    std::optional<ByteRange> thumbnailJpeg;  // IFD1's small thumbnail
    std::optional<RgbStrip> ifd2Rgb;         // the small RGB picture of older bodies
    std::optional<ByteRange> rawStrip;       // the raw data itself (last directory)
};

// What the EXIF and TIFF tags of a file say. Absent tags stay absent.
struct ExifSummary {
    std::optional<ExifProperties> exif;  // none without any EXIF sub-directory tag
    std::optional<TiffProperties> tiff;  // none without any IFD0 tag
    std::optional<int> orientation;      // IFD0's Orientation, when 1..8
    std::optional<double> pixelXDimension;
    std::optional<double> pixelYDimension;
    std::vector<std::uint8_t> thumbnailJpeg;  // an APP1 block's own thumbnail
    RawLayout raw;
};

// The one place that knows exiv2: its exceptions and warnings end here as "no metadata".
class ExifReader {
public:
    // The TIFF structure of a JPEG's APP1 "Exif" segment; none when exiv2 cannot parse it.
    static std::optional<ExifSummary> fromApp1(const std::vector<std::uint8_t>& tiff);
    // The metadata and picture layout of a TIFF-based raw file, from the directories at its
    // front (its maker note left unread); none when exiv2 cannot parse them.
    static std::optional<ExifSummary> fromRawFile(const PhotoFile& file);
};

}  // namespace quillory::imageio
