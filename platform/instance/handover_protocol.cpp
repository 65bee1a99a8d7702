#include "platform/instance/handover_protocol.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <system_error>

#include "inspection/url.h"

namespace quillory::instance {

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

// The length of the valid UTF-8 sequence `text` starts with, its code point in `code`; 0 when
// it starts with none (a stray, overlong, surrogate or cut-short sequence).
std::size_t utf8Sequence(std::string_view text, char32_t* code) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 1;
    char32_t least = 0;
    if (lead < 0x80) {
        *code = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2, least = 0x80, *code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, least = 0x800, *code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, least = 0x10000, *code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) return 0;
        *code = (*code << 6) | (next & 0x3F);
    }
    if (*code < least || *code > 0x10FFFF || (*code >= 0xD800 && *code <= 0xDFFF)) return 0;
    return length;
}

// Longest header: the name, a space and the digits of kMaxHandoverBytes.
constexpr std::size_t kMaxHeaderBytes = kHandoverHeader.size() + 1 + 7;

}  // namespace

std::string encodeHandover(const std::vector<std::string>& urls) {
    // From the end, so that a list over the limit keeps the files that decide what is shown.
    std::size_t length = 0;
    std::vector<bool> sent(urls.size(), false);
    for (std::size_t i = urls.size(); i-- > 0;) {
        const std::string& url = urls[i];
        if (url.size() > kMaxHandoverUrlBytes || !isLocalFileUrl(url)) continue;
        if (length + url.size() + 1 > kMaxHandoverBytes) break;
        length += url.size() + 1;
        sent[i] = true;
    }
    std::string message(kHandoverHeader);
    message += ' ' + std::to_string(length) + '\n';
    message.reserve(message.size() + length);
    for (std::size_t i = 0; i < urls.size(); ++i) {
        if (sent[i]) message += urls[i] + '\n';
    }
    return message;
}

HandoverDecoder::Result HandoverDecoder::reject(std::string why) {
    problem_ = std::move(why);
    urls_.clear();
    buffer_.clear();
    buffer_.shrink_to_fit();
    return result_ = Result::rejected;
}

HandoverDecoder::Result HandoverDecoder::feed(std::string_view bytes) {
    if (result_ != Result::incomplete) return result_;
    buffer_.append(bytes);
    if (!length_) {
        if (readHeader() != Result::incomplete || !length_) return result_;
    }
    if (buffer_.size() > *length_) return reject("bytes after the end of the message");
    if (buffer_.size() < *length_) return result_;
    return decide(buffer_);
}

// Takes "quillory-open/2 <length>\n" off the buffer; rejects a first line that cannot become one.
HandoverDecoder::Result HandoverDecoder::readHeader() {
    const std::size_t end = buffer_.find('\n');
    const std::string_view line = std::string_view(buffer_).substr(0, std::min(end, buffer_.size()));
    const std::string_view name = line.substr(0, kHandoverHeader.size());
    if (name != kHandoverHeader.substr(0, name.size()) || line.size() > kMaxHeaderBytes) {
        return reject("not a hand-over message");
    }
    if (end == std::string::npos) return result_;
    const std::string_view digits = line.substr(std::min(line.size(), kHandoverHeader.size() + 1));
    std::size_t length = 0;
    const auto [last, error] = std::from_chars(digits.data(), digits.data() + digits.size(), length);
    if (line.size() <= kHandoverHeader.size() || line[kHandoverHeader.size()] != ' ' || digits.empty() ||
        error != std::errc() || last != digits.data() + digits.size()) {
        return reject("not a hand-over message");
    }
    if (length > kMaxHandoverBytes) return reject("message too large");
    buffer_.erase(0, end + 1);
    length_ = length;
    return result_;
}

HandoverDecoder::Result HandoverDecoder::decide(std::string_view payload) {
    if (!payload.empty() && payload.back() != '\n') return reject("a line without its end");
    std::vector<std::string> urls;
    while (!payload.empty()) {
        const std::size_t lineEnd = payload.find('\n');
        const std::string_view line = payload.substr(0, lineEnd);
        payload.remove_prefix(lineEnd + 1);
        if (line.size() > kMaxHandoverUrlBytes) return reject("URL too long");
        if (!isLocalFileUrl(line)) return reject("not a local file URL: " + visibleBytes(line));
        urls.emplace_back(line);
    }
    urls_ = std::move(urls);
    buffer_.clear();
    buffer_.shrink_to_fit();
    return result_ = Result::accepted;
}

std::string visibleBytes(std::string_view bytes, std::size_t limit) {
    static constexpr char kHex[] = "0123456789abcdef";
    const std::string_view shown = bytes.substr(0, limit);
    std::string text;
    for (std::size_t at = 0; at < shown.size();) {
        char32_t code = 0;
        const std::size_t length = utf8Sequence(shown.substr(at), &code);
        const bool control = code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0);
        if (length > 0 && !control && code != '\\') {
            text.append(shown.substr(at, length));
            at += length;
            continue;
        }
        const auto byte = static_cast<unsigned char>(shown[at++]);
        text += "\\x";
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    if (bytes.size() > limit) text += "...";
    return text;
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

std::string workingFolder() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? std::string() : folder.native();
}

}  // namespace quillory::instance
