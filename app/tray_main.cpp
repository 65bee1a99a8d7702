#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/cli.h"
#include "app/tray_program.h"

// Started by quillory with its own arguments; the command line itself is quillory's.
int main(int argc, char** argv) {
    using namespace quillory;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (std::optional<std::vector<std::string>> files = trayFiles(args)) return runTray(argv[0], *files);
    std::cerr << "quillory-tray: the command line is quillory's; run quillory "
              << (args.empty() ? "" : args[0]) << "\n";
    return kExitUsage;
}
