#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "inspection/image_service.h"

namespace quillory {

struct CliContext {
    ImageService& images;
    // The preview as a PNG file's bytes; empty when it cannot be encoded.
    std::function<std::string(const Bitmap&)> encodePng;
    std::string version;
    std::ostream& out;
    std::ostream& err;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitUnreadable = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitUnwritable = 3;

// The files to show when the arguments ask for the tray program: no option at all, or files
// after "--". None when they are for the command line (runCli answers them, wrong ones too).
std::optional<std::vector<std::string>> trayFiles(const std::vector<std::string>& args);

// The command line: --summary FILE [--thumbnail OUT.png], --help, --version; for anything else
// it says in one line what is wrong and points to --help. Returns the process's exit status.
int runCli(const std::vector<std::string>& args, const CliContext& context);

// The working folder as the file system names it: bytes, which need not be UTF-8.
std::string workingFolder();

}  // namespace quillory
