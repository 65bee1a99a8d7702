#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillory {

// What the image reader found in a file. Every member is optional: an absent value is
// printed or skipped by the summary, never guessed.

struct ExifProperties {
    std::optional<std::string> dateTimeOriginal;  // as stored, e.g. "2015:07:04 09:30:00"
    std::optional<double> exposureTime;           // seconds
    std::optional<double> fNumber;
    std::optional<double> focalLength;  // millimetres
    std::optional<std::vector<std::int64_t>> isoSpeedRatings;
};

struct TiffProperties {
    std::optional<std::string> model;
};

// Properties of the first image in the file.
struct ImageProperties {
    std::optional<double> pixelWidth;
    std::optional<double> pixelHeight;
    std::optional<double> depth;            // bits per component
    std::optional<std::string> colorModel;  // "RGB", "Gray", "CMYK"
    std::optional<int> orientation;         // EXIF orientation 1..8 of the main image
    std::optional<ExifProperties> exif;
    std::optional<TiffProperties> tiff;
};

// Properties of the file as a whole.
struct ContainerProperties {
    std::optional<std::int64_t> fileSize;  // bytes
};

}  // namespace quillory
