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

// Fixed notation, as short as round-tripping allows; the longest double needs ~330 chars.
std::string formatDecimal(double value) {
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0; `valid` receives
// how many leading bytes could still begin one (the ill-formed part to replace at once).
std::size_t sequenceLength(std::string_view text, std::size_t& valid) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    valid = 1;
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= text.size()) return 0;
        const unsigned char c = byte(i);
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) return 0;
        valid = i + 1;
    }
    return length;
}

// One decimal at most: 2 -> "2", 1.3 -> "1.3".
std::string formatTenths(double value) {
    return formatDecimal(std::round(value * 10.0) / 10.0);
}

const ExifProperties* exifOf(const std::optional<ImageProperties>& image) {
    return image && image->exif ? &*image->exif : nullptr;
}

std::string text(const std::optional<std::string>& value) {
    return value ? cleanText(*value) : std::string(kNull);
}

// Appends piece by piece: GCC 12 warns wrongly (-Wrestrict) on chains of string operator+.
void appendCameraBlock(std::string& out, const std::string& model, const ExifProperties* exif) {
    std::int64_t iso = 0;
    if (exif && exif->isoSpeedRatings && !exif->isoSpeedRatings->empty())
        iso = exif->isoSpeedRatings->front();
    for (const std::string& piece :
         {"Model " + cleanText(model) + " \n", formatNumber(exif ? exif->focalLength : std::nullopt),
          std::string("mm "), formatExposure(exif ? exif->exposureTime : std::nullopt), std::string("s F"),
          formatNumber(exif ? exif->fNumber : std::nullopt), std::string(" ISO "), std::to_string(iso)}) {
        out += piece;
    }
}

}  // namespace

std::string cleanText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        std::size_t valid = 1;
        const std::size_t length = sequenceLength(text, valid);
        const auto lead = static_cast<unsigned char>(text[0]);
        const bool control = (length == 1 && (lead < 0x20 || lead == 0x7F)) ||
                             (length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0);
        if (length == 0 || control) {
            out += kReplacement;
            text.remove_prefix(length == 0 ? valid : length);
        } else {
            out += text.substr(0, length);
            text.remove_prefix(length);
        }
    }
    return out;
}

std::string formatNumber(const std::optional<double>& value) {
    if (!value || !std::isfinite(*value)) return std::string(kNull);
    return formatDecimal(*value);
}

std::string formatExposure(const std::optional<double>& seconds) {
    // Exposure times are single-precision values in the image properties.
    const double time = seconds ? static_cast<double>(static_cast<float>(*seconds)) : 0.0;
    if (!std::isfinite(time) || time <= 0.0) return std::string(kNull);
    // The reciprocal of a single-precision time has no more digits than the time itself:
    // 1/1000000000 s stays that rather than 1/1000000028 s.
    const double reciprocal = static_cast<float>(1.0 / time);
    const double tenths = std::round(reciprocal * 10.0) / 10.0;
    if (time >= 1.0 || tenths <= 1.0) return formatTenths(time);
    if (reciprocal >= kFractionalReciprocalLimit) return "1/" + formatDecimal(std::round(reciprocal));
    return "1/" + formatTenths(reciprocal);
}

std::string composeSummary(std::string_view path, const std::optional<ContainerProperties>& container,
                           const std::optional<ImageProperties>& image) {
    const std::int64_t bytes = container && container->fileSize ? *container->fileSize : 0;
    const ExifProperties* exif = exifOf(image);

    std::string out = cleanText(lastPathComponent(path)) + " ";
    out += " (" + std::to_string(bytes / 1000) + " kB) ";
    out += "\n";
    out += formatNumber(image ? image->pixelWidth : std::nullopt) + " x " +
           formatNumber(image ? image->pixelHeight : std::nullopt) + " x " +
           formatNumber(image ? image->depth : std::nullopt) + " " +
           text(image ? image->colorModel : std::nullopt) + " \n";
    out += "\n";
    if (exif && exif->dateTimeOriginal) out += "Taken on " + cleanText(*exif->dateTimeOriginal) + " \n";
    if (image && image->tiff && image->tiff->model) appendCameraBlock(out, *image->tiff->model, exif);
    out += "\n\n";
    out += cleanText(folderOf(path));
    return out;
}

}  // namespace quillory
