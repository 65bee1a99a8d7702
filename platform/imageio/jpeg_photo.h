#pragma once

#include <optional>

#include "platform/imageio/exif_reader.h"
#include "platform/imageio/jpeg_markers.h"
#include "platform/imageio/photo_file.h"
#include "platform/imageio/photo_reader.h"

namespace quillory::imageio {

// A JPEG file: frame and EXIF from the headers in front of the first scan; the preview from
// the EXIF thumbnail when it decodes and fits the image (and the options do not pass over it),
// otherwise from the image itself at a reduced scale.
class JpegPhoto final : public PhotoReader {
public:
    explicit JpegPhoto(const PhotoFile& file) : file_(file) {}

    std::optional<ImageProperties> properties() override;
    std::optional<Bitmap> thumbnail(const ThumbnailOptions& options, WorkLimit& limit) override;

private:
    void load();
    std::optional<Bitmap> embeddedThumbnail(int maxSide, WorkLimit& limit) const;

    const PhotoFile& file_;
    bool loaded_ = false;
    std::optional<JpegHeaders> headers_;
    std::optional<ExifSummary> exif_;
};

}  // namespace quillory::imageio
