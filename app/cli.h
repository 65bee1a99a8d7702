#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "inspection/image_service.h"

namespace quillory {

// Writes a picture as PNG; false with a reason when it cannot.
using PngWriter = std::function<bool(const Bitmap& picture, const std::string& path, std::string& why)>;

struct CliContext {
    ImageService& images;
    PngWriter writePng;
    std::string version;
    std::ostream& out;
    std::ostream& err;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitUnreadable = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitUnwritable = 3;

// The command line: --summary FILE [--thumbnail OUT.png], --help, --version.
// Returns the process's exit status.
int runCli(const std::vector<std::string>& args, const CliContext& context);

}  // namespace quillory
