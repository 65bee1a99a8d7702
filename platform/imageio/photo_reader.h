#pragma once

#include <optional>

#include "inspection/image_service.h"
#include "inspection/properties.h"
#include "platform/imageio/work_limit.h"

namespace quillory::imageio {

// Reads one kind of photo file. Made for a file whose content says it is of that kind.
class PhotoReader {
public:
    PhotoReader() = default;
    PhotoReader(const PhotoReader&) = delete;
    PhotoReader& operator=(const PhotoReader&) = delete;
    virtual ~PhotoReader() = default;

    // Properties of the main image; none when the file holds nothing readable of it.
    virtual std::optional<ImageProperties> properties() = 0;
    // The preview as the options ask for it, at most options.thumbnailMaxPixelSize (1..500) a
    // side; none when no picture can be made or `limit` is reached.
    virtual std::optional<Bitmap> thumbnail(const ThumbnailOptions& options, WorkLimit& limit) = 0;
};

}  // namespace quillory::imageio
