#pragma once

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace quillory::proc {

// A field of /proc/self/status in KiB ("VmRSS:", "VmHWM:"); -1 when it is not there.
inline long statusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + std::strlen(key), nullptr, 10);
    }
    return -1;
}

}  // namespace quillory::proc
