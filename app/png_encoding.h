#pragma once

#include <string>

#include "inspection/image_service.h"

namespace quillory {

// The picture as the bytes of a PNG file; empty when it cannot be encoded.
std::string encodePng(const Bitmap& picture);

}  // namespace quillory
