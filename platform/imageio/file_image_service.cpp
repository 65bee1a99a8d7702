#include "platform/imageio/file_image_service.h"

#include <array>
#include <cstring>

#include "platform/imageio/cr2_photo.h"
#include "platform/imageio/image_service_factory.h"
#include "platform/imageio/jpeg_photo.h"

namespace quillory::imageio {
namespace {

enum class PhotoKind { kUnknown, kJpeg, kCr2 };

PhotoKind sniffPhotoKind(const PhotoFile& file) {
    std::array<std::uint8_t, 12> head{};
    const std::size_t got = file.readAt(0, head.data(), head.size());
    if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return PhotoKind::kJpeg;
    // CR2: a little-endian TIFF header followed by "CR" and major version 2.
    if (got == head.size() && std::memcmp(head.data(), "II*\0", 4) == 0 &&
        std::memcmp(head.data() + 8, "CR\x02", 3) == 0) {
        return PhotoKind::kCr2;
    }
    return PhotoKind::kUnknown;
}

}  // namespace

FileImageSource::FileImageSource(std::unique_ptr<PhotoFile> file) : file_(std::move(file)) {
    switch (sniffPhotoKind(*file_)) {
        case PhotoKind::kJpeg:
            reader_ = std::make_unique<JpegPhoto>(*file_);
            break;
        case PhotoKind::kCr2:
            reader_ = std::make_unique<Cr2Photo>(*file_);
            break;
        case PhotoKind::kUnknown:
            break;
    }
}

FileImageSource::~FileImageSource() = default;

std::optional<ImageProperties> FileImageSource::copyPropertiesAtIndex0() {
    return reader_ ? reader_->properties() : std::nullopt;
}

std::optional<ContainerProperties> FileImageSource::copyProperties() {
    return ContainerProperties{file_->size()};
}

std::optional<Bitmap> FileImageSource::createThumbnailAtIndex0(const ThumbnailOptions& options) {
    if (!reader_) return std::nullopt;
    // Never larger than the panel's preview: no size, or a larger one, would decode in full.
    ThumbnailOptions bounded = options;
    if (bounded.thumbnailMaxPixelSize <= 0 ||
        bounded.thumbnailMaxPixelSize > kThumbnailOptions.thumbnailMaxPixelSize)
        bounded.thumbnailMaxPixelSize = kThumbnailOptions.thumbnailMaxPixelSize;
    WorkLimit limit(options.shouldStop);
    std::optional<Bitmap> picture = reader_->thumbnail(bounded, limit);
    if (limit.wasReached()) return std::nullopt;
    return picture;
}

std::unique_ptr<ImageSource> FileImageService::createWithPath(const std::string& path, std::string* why) {
    auto file = PhotoFile::open(path, why);
    if (!file) return nullptr;
    return std::make_unique<FileImageSource>(std::move(file));
}

std::unique_ptr<ImageService> makeImageService() {
    return std::make_unique<FileImageService>();
}

}  // namespace quillory::imageio
