#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "inspection/properties.h"

namespace quillory {

// An 8-bit RGB picture, rows top-down and tightly packed (3 bytes a pixel).
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    std::uint8_t* pixel(int x, int y) { return rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3; }
    const std::uint8_t* pixel(int x, int y) const {
        return rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    }
};

// How the preview is asked for.
struct ThumbnailOptions {
    bool createThumbnailWithTransform = true;      // upright, as the orientation tag says
    bool createThumbnailFromImageIfAbsent = true;  // no embedded thumbnail: make one
    bool createThumbnailFromImageAlways = false;   // pass over the embedded thumbnail
    int thumbnailMaxPixelSize = 500;               // neither side larger
    // Asked at the decoder's check points (between scans, between row bands): true abandons
    // the preview, which then comes back empty. Empty: never stop.
    std::function<bool()> shouldStop;
};

inline const ThumbnailOptions kThumbnailOptions{};

// One opened photo file. Reads lazily; every call may be made in any order.
class ImageSource {
public:
    ImageSource() = default;
    ImageSource(const ImageSource&) = delete;
    ImageSource& operator=(const ImageSource&) = delete;
    virtual ~ImageSource() = default;

    // Properties of the first image; none when the file holds no image the reader knows.
    virtual std::optional<ImageProperties> copyPropertiesAtIndex0() = 0;
    // Properties of the file as a whole; none when they cannot be read.
    virtual std::optional<ContainerProperties> copyProperties() = 0;
    // The preview of the first image; none when no picture can be made.
    virtual std::optional<Bitmap> createThumbnailAtIndex0(const ThumbnailOptions& options) = 0;
};

// Opens photo files for reading. Never writes to them.
class ImageService {
public:
    ImageService() = default;
    ImageService(const ImageService&) = delete;
    ImageService& operator=(const ImageService&) = delete;
    virtual ~ImageService() = default;

    // A source for the local file at `path`; nullptr when it cannot be read at all
    // (missing, no permission, not a regular file). `why`, when given, receives the reason.
    virtual std::unique_ptr<ImageSource> createWithPath(const std::string& path,
                                                        std::string* why = nullptr) = 0;
};

}  // namespace quillory
