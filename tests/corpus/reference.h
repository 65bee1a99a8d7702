#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "inspection/image_service.h"
#include "tests/support/support.h"

// What the corpus tests compare the image service against: exiftool's reading of the tags,
// and pictures decoded whole by the test itself (turbojpeg), then turned upright.
namespace quillory::reference {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// exiftool's values (-n, numbers unformatted) for every file of `folder`, by file name, tag
// by tag ("ImageWidth", "ExifImageWidth", "Model", "ISO"...); a tag exiftool did not find is
// missing. None when exiftool is not installed.
using Tags = std::map<std::string, std::string>;
std::optional<std::map<std::string, Tags>> exiftoolTags(const fs::path& folder);

// The whole picture of a JPEG, full size; none when turbojpeg cannot decode it.
std::optional<Bitmap> decodeWhole(const Bytes& jpeg);
// The largest embedded JPEG of a raw file that decodes, as exiv2 finds them, and the file's
// orientation.
std::optional<Bitmap> largestRawPreview(const fs::path& raw, int& orientation);

// `picture` shrunk by whole blocks (means of factor x factor pixels) until its longer side is
// at most `maxSide`: the comparisons need no more, and turning the whole picture is slow.
Bitmap blockReduced(const Bitmap& picture, int maxSide);
// `stored` as seen, for an EXIF orientation, built from mirror and transpose steps.
Bitmap upright(const Bitmap& stored, int orientation);
// The centre of `picture` at the aspect ratio `width` : `height` (drops letterbox bars).
Bitmap cropToAspect(const Bitmap& picture, int width, int height);
// How alike two pictures look, whatever their sizes and overall tone: the correlation
// (-1..1) of the brightness of their n x n grids of cells; 1 for two flat pictures.
double likeness(const Bitmap& a, const Bitmap& b, int n = 12);

}  // namespace quillory::reference
