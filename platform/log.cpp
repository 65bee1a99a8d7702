#include "platform/log.h"

#include <cstdio>
#include <string>

namespace quillory::platform {

void StderrLog::log(std::string_view message) {
    // One write per line keeps lines whole when several processes share stderr.
    std::string line(message);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace quillory::platform
