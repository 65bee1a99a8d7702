#include "inspection/summary.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "inspection/url.h"

namespace quillory {
namespace {

constexpr std::string_view kNull = "(null)";

// Below this many per second, cameras write the reciprocal with one decimal (1/1.3, 1/2.5).
constexpr double kFractionalReciprocalLimit = 10.0;

std::string formatDecimal(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// One decimal at most: 2 -> "2", 1.3 -> "1.3".
std::string formatTenths(double value) {
    return formatDecimal(std::round(value * 10.0) / 10.0);
}

const ExifProperties* exifOf(const std::optional<ImageProperties>& image) {
    return image && image->exif ? &*image->exif : nullptr;
}

std::string text(const std::optional<std::string>& value) {
    return value ? *value : std::string(kNull);
}

// Appends piece by piece: GCC 12 warns wrongly (-Wrestrict) on chains of string operator+.
void appendCameraBlock(std::string& out, const std::string& model, const ExifProperties* exif) {
    std::int64_t iso = 0;
    if (exif && exif->isoSpeedRatings && !exif->isoSpeedRatings->empty())
        iso = exif->isoSpeedRatings->front();
    for (const std::string& piece :
         {"Model " + model + " \n", formatNumber(exif ? exif->focalLength : std::nullopt), std::string("mm "),
          formatExposure(exif ? exif->exposureTime : std::nullopt), std::string("s F"),
          formatNumber(exif ? exif->fNumber : std::nullopt), std::string(" ISO "), std::to_string(iso)}) {
        out += piece;
    }
}

}  // namespace

std::string formatNumber(const std::optional<double>& value) {
    if (!value || !std::isfinite(*value)) return std::string(kNull);
    return formatDecimal(*value);
}

std::string formatExposure(const std::optional<double>& seconds) {
    // Exposure times are single-precision values in the image properties.
    const double time = seconds ? static_cast<double>(static_cast<float>(*seconds)) : 0.0;
    if (!std::isfinite(time) || time <= 0.0) return std::string(kNull);
    const double reciprocal = 1.0 / time;
    const double tenths = std::round(reciprocal * 10.0) / 10.0;
    if (time >= 1.0 || tenths <= 1.0) return formatTenths(time);
    if (reciprocal >= kFractionalReciprocalLimit) return "1/" + formatDecimal(std::round(reciprocal));
    return "1/" + formatTenths(reciprocal);
}

std::string composeSummary(std::string_view path, const std::optional<ContainerProperties>& container,
                           const std::optional<ImageProperties>& image) {
    const std::int64_t bytes = container && container->fileSize ? *container->fileSize : 0;
    const ExifProperties* exif = exifOf(image);

    std::string out = lastPathComponent(path) + " ";
    out += " (" + std::to_string(bytes / 1000) + " kB) ";
    out += "\n";
    out += formatNumber(image ? image->pixelWidth : std::nullopt) + " x " +
           formatNumber(image ? image->pixelHeight : std::nullopt) + " x " +
           formatNumber(image ? image->depth : std::nullopt) + " " +
           text(image ? image->colorModel : std::nullopt) + " \n";
    out += "\n";
    if (exif && exif->dateTimeOriginal) out += "Taken on " + *exif->dateTimeOriginal + " \n";
    if (image && image->tiff && image->tiff->model) appendCameraBlock(out, *image->tiff->model, exif);
    out += "\n\n";
    out += folderOf(path);
    return out;
}

}  // namespace quillory
