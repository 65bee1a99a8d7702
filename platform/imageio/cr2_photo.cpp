#include "platform/imageio/cr2_photo.h"

#include <algorithm>
#include <vector>

#include "platform/imageio/area_scaler.h"
#include "platform/imageio/jpeg_decoder.h"
#include "platform/imageio/orientation.h"

namespace quillory::imageio {

// One embedded picture: a JPEG stream or an RGB strip, and how many pixels it has.
struct Cr2Photo::Candidate {
    std::optional<ByteRange> jpeg;
    std::optional<RgbStrip> rgb;
    std::int64_t pixels = 0;
};

namespace {

// The RGB strip read row by row into the area scaler, so only the preview is ever held.
std::optional<Bitmap> readRgbStrip(const PhotoFile& file, const RgbStrip& strip, int maxSide,
                                   WorkLimit& limit) {
    const Size from{strip.width, strip.height};
    if (static_cast<std::int64_t>(from.width) * from.height > kMaxFramePixels) return std::nullopt;
    AreaScaler scaler(from, fitWithin(from, maxSide));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(strip.width) * 3);
    for (int y = 0; y < strip.height; ++y) {
        if (y % 16 == 0 && limit.reached()) return std::nullopt;
        const std::int64_t at = strip.bytes.offset + static_cast<std::int64_t>(y) * std::ssize(row);
        if (file.readAt(at, row.data(), row.size()) != row.size()) return std::nullopt;  // cut short
        scaler.addRow(row.data());
    }
    return scaler.finish();
}

}  // namespace

void Cr2Photo::load() {
    if (loaded_) return;
    loaded_ = true;
    meta_ = ExifReader::fromRawFile(file_);
    if (!meta_ || !meta_->raw.rawStrip) return;
    // The raw data is a lossless JPEG (SOF3) whose precision is the sensor's bit depth.
    if (const auto headers = readJpegHeaders(file_, *meta_->raw.rawStrip)) rawFrame_ = headers->frame;
}

std::optional<ImageProperties> Cr2Photo::properties() {
    load();
    if (!meta_ || (!meta_->tiff && !meta_->exif)) return std::nullopt;  // no tag at all: no image
    ImageProperties properties;
    properties.pixelWidth = meta_->pixelXDimension;
    properties.pixelHeight = meta_->pixelYDimension;
    if (rawFrame_) {
        // Without the EXIF size, the sensor area the raw data covers (borders included).
        if (!properties.pixelWidth) properties.pixelWidth = rawFrame_->width * rawFrame_->components;
        if (!properties.pixelHeight) properties.pixelHeight = rawFrame_->height;
        properties.depth = rawFrame_->precision;
    }
    properties.colorModel = "RGB";
    properties.orientation = meta_->orientation;
    properties.exif = meta_->exif;
    properties.tiff = meta_->tiff;
    return properties;
}

// The embedded pictures that exist, the largest first: the sharpest source for the preview.
std::vector<Cr2Photo::Candidate> Cr2Photo::candidates() const {
    std::vector<Candidate> found;
    for (const auto& jpeg : {meta_->raw.ifd0Jpeg, meta_->raw.thumbnailJpeg}) {
        if (!jpeg) continue;
        const auto headers = readJpegHeaders(file_, *jpeg);
        if (!headers || !headers->frame) continue;
        found.push_back(
            {jpeg, std::nullopt, static_cast<std::int64_t>(headers->frame->width) * headers->frame->height});
    }
    if (const auto& rgb = meta_->raw.ifd2Rgb) {
        found.push_back({std::nullopt, rgb, static_cast<std::int64_t>(rgb->width) * rgb->height});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Candidate& a, const Candidate& b) { return a.pixels > b.pixels; });
    return found;
}

std::optional<Bitmap> Cr2Photo::decode(const Candidate& candidate, int maxSide, WorkLimit& limit) const {
    if (candidate.rgb) return readRgbStrip(file_, *candidate.rgb, maxSide, limit);
    // An embedded JPEG cut short by a truncated file is worth less than the next one whole.
    return decodeJpeg(JpegStream::inFile(file_.fd(), file_.clamp(*candidate.jpeg)), maxSide,
                      Truncation::kReject, limit);
}

std::optional<Bitmap> Cr2Photo::thumbnail(const ThumbnailOptions& options, WorkLimit& limit) {
    load();
    if (!meta_) return std::nullopt;
    std::vector<Candidate> found = candidates();
    // Passing over the thumbnails leaves the main image alone.
    if (options.createThumbnailFromImageAlways && found.size() > 1) found.resize(1);
    for (const Candidate& candidate : found) {
        if (auto picture = decode(candidate, options.thumbnailMaxPixelSize, limit)) {
            // The embedded pictures are stored as the sensor saw them, like the raw data.
            return finishPreview(std::move(*picture), meta_->orientation, options);
        }
    }
    return std::nullopt;
}

}  // namespace quillory::imageio
