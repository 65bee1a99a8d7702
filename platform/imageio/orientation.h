#pragma once

#include <optional>

#include "inspection/image_service.h"

namespace quillory::imageio {

// The picture as it is meant to be seen, for an EXIF orientation of 1..8 (the way the stored
// rows and columns map onto the visible picture). Other values leave it as stored.
Bitmap orientUpright(Bitmap stored, int orientation);

// The last step of every preview: turned upright when the options ask for it.
Bitmap finishPreview(Bitmap picture, std::optional<int> orientation, const ThumbnailOptions& options);

}  // namespace quillory::imageio
