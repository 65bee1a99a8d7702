#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/cli.h"
#include "app/png_encoding.h"
#include "app/tray_program.h"
#include "platform/imageio/image_service_factory.h"

// Only dispatches: the tray program, or the command line for everything else.
int main(int argc, char** argv) {
    using namespace quillory;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (std::optional<std::vector<std::string>> files = trayFiles(args)) return runTray(argv[0], *files);
    const auto images = imageio::makeImageService();
    return runCli(args, {*images, encodePng, QUILLORY_VERSION, std::cout, std::cerr});
}
