#include "platform/process.h"

#include <cstdlib>

namespace quillory::platform {

void SystemProcess::exit(int status) {
    std::exit(status);
}

}  // namespace quillory::platform
