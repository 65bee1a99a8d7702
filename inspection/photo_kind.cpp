#include "inspection/photo_kind.h"

#include <algorithm>

#include "inspection/url.h"

namespace quillory {

bool isQualifyingExtension(std::string_view extension) {
    return std::find(std::begin(kQualifyingExtensions), std::end(kQualifyingExtensions), extension) !=
           std::end(kQualifyingExtensions);
}

bool isQualifying(const Url& url) {
    return url.isLocalFile() && isQualifyingExtension(url.pathExtension());
}

}  // namespace quillory
