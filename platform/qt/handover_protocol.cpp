#include "platform/qt/handover_protocol.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "inspection/url.h"

namespace quillory::qt {

namespace {

bool isLocalFileUrl(std::string_view text) {
    const std::optional<Url> url = Url::fromString(text);
    return url.has_value() && url->isLocalFile();
}

// "name:/..." with a scheme-like name ("file:///a.jpg", "smb://host/a.jpg"); "a:b.jpg" stays a path.
bool looksLikeUrl(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || text.substr(colon + 1, 1) != "/") return false;
    if (std::isalpha(static_cast<unsigned char>(text[0])) == 0) return false;
    return std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '-' || c == '.';
    });
}

}  // namespace

std::string encodeHandover(const std::vector<std::string>& urls) {
    std::string message(kHandoverHeader);
    message += '\n';
    for (const std::string& url : urls) message += url + '\n';
    message += '\n';
    return message;
}

HandoverDecoder::Result HandoverDecoder::reject(std::string why) {
    problem_ = std::move(why);
    urls_.clear();
    buffer_.clear();
    return result_ = Result::rejected;
}

HandoverDecoder::Result HandoverDecoder::feed(std::string_view bytes) {
    if (result_ != Result::incomplete) return result_;
    if (buffer_.size() + bytes.size() > kMaxHandoverBytes) return reject("message too large");
    buffer_.append(bytes);
    const std::size_t headerEnd = buffer_.find('\n');
    if (headerEnd == std::string::npos) {
        if (buffer_.size() > kHandoverHeader.size()) return reject("not a hand-over message");
        return result_;
    }
    if (std::string_view(buffer_).substr(0, headerEnd) != kHandoverHeader) {
        return reject("not a hand-over message");
    }
    const std::size_t end = buffer_.find("\n\n", headerEnd);
    if (end == std::string::npos) return result_;
    if (end + 2 != buffer_.size()) return reject("bytes after the end of the message");
    return decide(std::string_view(buffer_).substr(headerEnd + 1, end - headerEnd));
}

HandoverDecoder::Result HandoverDecoder::decide(std::string_view message) {
    std::vector<std::string> urls;
    while (!message.empty()) {
        const std::size_t lineEnd = message.find('\n');
        const std::string_view line = message.substr(0, lineEnd);
        message.remove_prefix(lineEnd + 1);
        if (line.size() > kMaxHandoverUrlBytes) return reject("URL too long");
        if (urls.size() == kMaxHandoverUrls) return reject("too many files");
        if (!isLocalFileUrl(line)) return reject("not a local file URL: " + std::string(line.substr(0, 200)));
        urls.emplace_back(line);
    }
    urls_ = std::move(urls);
    buffer_.clear();
    return result_ = Result::accepted;
}

std::optional<std::string> fileUrlForArgument(std::string_view argument, std::string_view workingFolder) {
    if (argument.empty()) return std::nullopt;
    if (looksLikeUrl(argument)) {
        if (!isLocalFileUrl(argument)) return std::nullopt;
        return std::string(argument);
    }
    std::filesystem::path path(argument);
    if (path.is_relative()) path = std::filesystem::path(workingFolder) / path;
    return Url::fromLocalPath(path.lexically_normal().string()).string();
}

}  // namespace quillory::qt
