#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#ifdef __APPLE__
#include <mach-o/dyld.h>
#endif

#include "app/cli.h"
#include "app/png_encoding.h"
#include "platform/imageio/image_service_factory.h"

namespace {

namespace fs = std::filesystem;

fs::path ownExecutable(const char* argv0) {
#ifdef __APPLE__
    char path[4096];
    std::uint32_t size = sizeof path;
    if (_NSGetExecutablePath(path, &size) == 0) return path;
#else
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error) return self;
#endif
    return argv0;
}

// The tray program lives in its own executable so that the command line loads no GUI library:
// beside this one in the build tree, under libexec once installed.
int execTray(char** argv) {
    const fs::path folder = ownExecutable(argv[0]).parent_path();
    int why = ENOENT;
    for (const fs::path& tray : {folder / "quillory-tray", folder / "../libexec/quillory/quillory-tray"}) {
        if (access(tray.c_str(), X_OK) != 0) continue;
        execv(tray.c_str(), argv);
        why = errno;
    }
    std::cerr << "quillory: cannot start the tray program quillory-tray beside " << folder.string() << ": "
              << std::strerror(why) << "\n";
    return 1;
}

}  // namespace

// Only dispatches: the tray program, or the command line for everything else.
int main(int argc, char** argv) {
    using namespace quillory;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (trayFiles(args)) return execTray(argv);
    const auto images = imageio::makeImageService();
    return runCli(args, {*images, encodePng, QUILLORY_VERSION, std::cout, std::cerr});
}
