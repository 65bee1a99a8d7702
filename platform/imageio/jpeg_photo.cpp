#include "platform/imageio/jpeg_photo.h"

#include "platform/imageio/jpeg_decoder.h"
#include "platform/imageio/orientation.h"

namespace quillory::imageio {
namespace {

std::optional<std::string> colorModelOf(int components) {
    switch (components) {
        case 1:
            return "Gray";
        case 3:
            return "RGB";
        case 4:
            return "CMYK";
        default:
            return std::nullopt;
    }
}

// +1 for a clearly wide picture, -1 for a clearly tall one, 0 for one near square.
int shape(int width, int height) {
    if (width * 100 > height * 115) return 1;
    if (height * 100 > width * 115) return -1;
    return 0;
}

// Software that turns or shrinks the image itself often leaves the old EXIF thumbnail behind:
// one turned the other way than the image, or larger than it, would show the picture wrongly.
bool fitsImage(const Bitmap& thumbnail, const std::optional<JpegFrame>& frame) {
    if (!frame) return true;
    if (thumbnail.width > frame->width || thumbnail.height > frame->height) return false;
    return shape(thumbnail.width, thumbnail.height) * shape(frame->width, frame->height) >= 0;
}

}  // namespace

void JpegPhoto::load() {
    if (loaded_) return;
    loaded_ = true;
    headers_ = readJpegHeaders(file_, {0, file_.size()});
    if (headers_ && headers_->exif) exif_ = ExifReader::fromApp1(file_.read(*headers_->exif));
}

std::optional<ImageProperties> JpegPhoto::properties() {
    load();
    if (!headers_ || (!headers_->frame && !exif_)) return std::nullopt;
    ImageProperties properties;
    if (const auto& frame = headers_->frame) {
        properties.pixelWidth = frame->width;
        properties.pixelHeight = frame->height;
        properties.depth = frame->precision;
        properties.colorModel = colorModelOf(frame->components);
    }
    if (exif_) {
        properties.exif = exif_->exif;
        properties.tiff = exif_->tiff;
        properties.orientation = exif_->orientation;
    }
    return properties;
}

std::optional<Bitmap> JpegPhoto::embeddedThumbnail(int maxSide, WorkLimit& limit) const {
    if (!exif_ || exif_->thumbnailJpeg.empty()) return std::nullopt;
    // Some cameras write a placeholder here; one that does not decode counts as none.
    const auto& bytes = exif_->thumbnailJpeg;
    return decodeJpeg(JpegStream::inMemory(bytes.data(), bytes.size()), maxSide, Truncation::kReject, limit);
}

std::optional<Bitmap> JpegPhoto::thumbnail(const ThumbnailOptions& options, WorkLimit& limit) {
    load();
    if (!headers_) return std::nullopt;
    const int maxSide = options.thumbnailMaxPixelSize;
    std::optional<Bitmap> embedded;
    if (!options.createThumbnailFromImageAlways) embedded = embeddedThumbnail(maxSide, limit);
    const bool fromImage = options.createThumbnailFromImageAlways || options.createThumbnailFromImageIfAbsent;
    std::optional<Bitmap> picture;
    if (embedded && fitsImage(*embedded, headers_->frame)) {
        picture = std::move(embedded);
    } else if (fromImage && headers_->frame) {
        picture = decodeJpeg(JpegStream::inFile(file_.fd(), {0, file_.size()}), maxSide, Truncation::kAccept,
                             limit);
    }
    if (!picture) picture = std::move(embedded);  // a left-behind thumbnail still beats none
    if (!picture) return std::nullopt;
    return finishPreview(std::move(*picture), exif_ ? exif_->orientation : std::nullopt, options);
}

}  // namespace quillory::imageio
