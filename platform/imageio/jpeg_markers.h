#pragma once

#include <optional>

#include "platform/imageio/photo_file.h"

namespace quillory::imageio {

// What a JPEG frame header (SOFn) says about the stored picture.
struct JpegFrame {
    int precision = 0;  // bits per component
    int width = 0;
    int height = 0;
    int components = 0;
};

// The headers in front of the first scan of a JPEG stream.
struct JpegHeaders {
    std::optional<JpegFrame> frame;
    std::optional<ByteRange> exif;  // the TIFF structure of the first APP1 "Exif" segment
};

// Walks the markers of the JPEG stream inside `stream` up to its first scan, reading only the
// segment headers it needs. None when the stream does not start with a JPEG start-of-image.
std::optional<JpegHeaders> readJpegHeaders(const PhotoFile& file, ByteRange stream);

}  // namespace quillory::imageio
