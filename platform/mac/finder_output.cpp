#include "platform/mac/finder_output.h"

namespace quillory::mac {

std::vector<std::string> parseFinderSelectionOutput(std::string_view output) {
    std::vector<std::string> urls;
    while (!output.empty()) {
        const std::size_t end = output.find('\n');
        std::string_view line = output.substr(0, end);
        output.remove_prefix(end == std::string_view::npos ? output.size() : end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
        if (!line.empty()) urls.emplace_back(line);
    }
    return urls;
}

}  // namespace quillory::mac
