#pragma once

#include <memory>

#include "inspection/image_service.h"

namespace quillory::imageio {

// The image service of the desktop build: JPEG and Canon CR2 files, read with exiv2 and
// libjpeg-turbo. Never writes to a file.
std::unique_ptr<ImageService> makeImageService();

}  // namespace quillory::imageio
