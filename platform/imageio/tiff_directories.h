#pragma once

#include <cstdint>
#include <optional>

#include "platform/imageio/photo_file.h"

namespace quillory::imageio {

// Where the metadata of a TIFF-based raw file lies, found by walking its directories without
// interpreting a single tag. Raw files keep their directories and small values at the front
// and their pictures after them, so this is a short stretch of a large file.
struct TiffMetadata {
    std::int64_t length = 0;                     // the leading bytes that hold the metadata
    std::optional<std::int64_t> makerNoteEntry;  // where the EXIF directory's MakerNote entry is
};

// Large values (maker notes, colour profiles, XMP packets) and values past kMaxTiffMetadata
// do not stretch the length: nothing the summary shows lives there.
inline constexpr std::int64_t kMaxTiffMetadata = 2 * 1024 * 1024;

// None when the file does not start with a TIFF header whose first directory lies inside it.
std::optional<TiffMetadata> locateTiffMetadata(const PhotoFile& file);

}  // namespace quillory::imageio
