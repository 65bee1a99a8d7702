#pragma once

#include <optional>

#include "platform/imageio/exif_reader.h"
#include "platform/imageio/jpeg_markers.h"
#include "platform/imageio/photo_file.h"
#include "platform/imageio/photo_reader.h"

namespace quillory::imageio {

// A Canon CR2 raw file: metadata through exiv2, the raw data's bit depth from the lossless
// JPEG header of its strip, and the preview from the embedded pictures, sharpest first. The
// largest of them, the camera's own full-size rendering, stands for the main image.
class Cr2Photo final : public PhotoReader {
public:
    explicit Cr2Photo(const PhotoFile& file) : file_(file) {}

    std::optional<ImageProperties> properties() override;
    std::optional<Bitmap> thumbnail(const ThumbnailOptions& options, WorkLimit& limit) override;

private:
    struct Candidate;

    void load();
    std::vector<Candidate> candidates() const;
    std::optional<Bitmap> decode(const Candidate& candidate, int maxSide, WorkLimit& limit) const;

    const PhotoFile& file_;
    bool loaded_ = false;
    std::optional<ExifSummary> meta_;
    std::optional<JpegFrame> rawFrame_;
};

}  // namespace quillory::imageio
