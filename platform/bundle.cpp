#include "platform/bundle.h"

namespace quillory::platform {

std::optional<std::string> BuildBundle::objectForInfoDictionaryKey(std::string_view key) const {
    if (key == kShortVersionKey) return std::string(QUILLORY_VERSION);
    return std::nullopt;
}

}  // namespace quillory::platform
