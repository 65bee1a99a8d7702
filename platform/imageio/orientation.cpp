#include "platform/imageio/orientation.h"

#include <algorithm>
#include <utility>

namespace quillory::imageio {
namespace {

struct Point {
    int x;
    int y;
};

// The stored pixel shown at (u, v) of the upright picture; w and h are the stored sides.
Point storedPixel(int orientation, int u, int v, int w, int h) {
    switch (orientation) {
        case 2:
            return {w - 1 - u, v};  // mirrored left to right
        case 3:
            return {w - 1 - u, h - 1 - v};  // turned 180 degrees
        case 4:
            return {u, h - 1 - v};  // mirrored top to bottom
        case 5:
            return {v, u};  // mirrored along the main diagonal
        case 6:
            return {v, h - 1 - u};  // shown turned 90 degrees clockwise
        case 7:
            return {w - 1 - v, h - 1 - u};  // mirrored along the other diagonal
        case 8:
            return {w - 1 - v, u};  // shown turned 90 degrees anticlockwise
        default:
            return {u, v};
    }
}

}  // namespace

Bitmap orientUpright(Bitmap stored, int orientation) {
    if (orientation < 2 || orientation > 8) return stored;
    const bool swapsSides = orientation >= 5;
    Bitmap upright;
    upright.width = swapsSides ? stored.height : stored.width;
    upright.height = swapsSides ? stored.width : stored.height;
    upright.rgb.resize(stored.rgb.size());
    for (int v = 0; v < upright.height; ++v) {
        for (int u = 0; u < upright.width; ++u) {
            const Point from = storedPixel(orientation, u, v, stored.width, stored.height);
            std::copy_n(stored.pixel(from.x, from.y), 3, upright.pixel(u, v));
        }
    }
    return upright;
}

Bitmap finishPreview(Bitmap picture, std::optional<int> orientation, const ThumbnailOptions& options) {
    if (!options.createThumbnailWithTransform || !orientation) return picture;
    return orientUpright(std::move(picture), *orientation);
}

}  // namespace quillory::imageio
