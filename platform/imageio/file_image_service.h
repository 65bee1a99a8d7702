#pragma once

#include <memory>
#include <optional>
#include <string>

#include "inspection/image_service.h"
#include "platform/imageio/photo_file.h"
#include "platform/imageio/photo_reader.h"

namespace quillory::imageio {

// One opened photo file: its descriptor, kept for every later read, and the reader its
// content calls for (JPEG or CR2, told apart by the first bytes, never by the name).
// Reads lazily, once; only createThumbnailAtIndex0 decodes a picture.
class FileImageSource final : public ImageSource {
public:
    explicit FileImageSource(std::unique_ptr<PhotoFile> file);
    ~FileImageSource() override;

    std::optional<ImageProperties> copyPropertiesAtIndex0() override;
    std::optional<ContainerProperties> copyProperties() override;
    std::optional<Bitmap> createThumbnailAtIndex0(const ThumbnailOptions& options) override;

private:
    std::unique_ptr<PhotoFile> file_;
    std::unique_ptr<PhotoReader> reader_;  // null for a file of no known kind
};

// Opens local files: only regular files, read-only and without ever blocking.
class FileImageService final : public ImageService {
public:
    std::unique_ptr<ImageSource> createWithPath(const std::string& path, std::string* why = nullptr) override;
};

}  // namespace quillory::imageio
