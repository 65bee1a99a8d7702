#include "platform/selection/clipboard_formats.h"

#include <algorithm>

namespace quillory::selection {

namespace {

using Lines = std::vector<std::string>;

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kSpace = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

// Non-empty lines, trimmed; LF or CRLF ends a line and a trailing NUL (GTK adds one) is dropped.
Lines lines(std::string_view data) {
    while (!data.empty() && data.back() == '\0') data.remove_suffix(1);
    Lines out;
    std::size_t start = 0;
    while (start <= data.size()) {
        const std::size_t end = std::min(data.find('\n', start), data.size());
        if (std::string_view line = trimmed(data.substr(start, end - start)); !line.empty()) {
            out.emplace_back(line);
        }
        start = end + 1;
    }
    return out;
}

std::optional<Lines> nonEmpty(Lines urls) {
    if (urls.empty()) return std::nullopt;
    return urls;
}

// "copy" or "cut", then one URL a line: GNOME's format, also inside Nautilus's text/plain.
std::optional<Lines> afterOperation(Lines all) {
    if (!all.empty() && (all.front() == "copy" || all.front() == "cut")) all.erase(all.begin());
    return nonEmpty(std::move(all));
}

// RFC 2483: one URI a line, '#' starts a comment line.
std::optional<Lines> uriList(std::string_view data) {
    Lines all = lines(data);
    std::erase_if(all, [](const std::string& line) { return line.front() == '#'; });
    return nonEmpty(std::move(all));
}

// Plain text is a file list only when it says so (Nautilus 3.30+) or holds nothing but file URLs.
std::optional<Lines> plainText(std::string_view data) {
    Lines all = lines(data);
    if (!all.empty() && all.front() == "x-special/nautilus-clipboard") {
        all.erase(all.begin());
        return afterOperation(std::move(all));
    }
    const bool allFiles = std::all_of(all.begin(), all.end(),
                                      [](const std::string& line) { return line.rfind("file://", 0) == 0; });
    return allFiles ? nonEmpty(std::move(all)) : std::nullopt;
}

}  // namespace

const std::vector<std::string_view>& clipboardFormatsRead() {
    static const std::vector<std::string_view> formats{kGnomeCopiedFilesFormat, kUriListFormat,
                                                       kPlainTextFormat};
    return formats;
}

std::size_t maxBytesIn(std::string_view format) {
    return format == kPlainTextFormat ? kMaxPlainTextBytes : kMaxFileListBytes;
}

std::optional<std::vector<std::string>> filesIn(std::string_view format, std::string_view bytes) {
    if (bytes.size() > maxBytesIn(format)) return std::nullopt;
    if (format == kGnomeCopiedFilesFormat) return afterOperation(lines(bytes));
    if (format == kUriListFormat) return uriList(bytes);
    if (format == kPlainTextFormat) return plainText(bytes);
    return std::nullopt;
}

std::optional<std::vector<std::string>> copiedFiles(const ClipboardFormats& formats) {
    for (std::string_view format : clipboardFormatsRead()) {
        auto it = formats.find(format);
        if (it == formats.end()) continue;
        if (auto urls = filesIn(format, it->second)) return urls;
    }
    return std::nullopt;
}

}  // namespace quillory::selection
