#include "inspection/url.h"

#include <algorithm>
#include <cctype>

namespace quillory {
namespace {

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// ASCII only, whatever the locale: a byte above 127 is never a letter in a URL.
bool isAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiAlnum(char c) {
    return isAsciiAlpha(c) || (c >= '0' && c <= '9');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    return std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
}

// Characters that may stand in a URL as they are (unreserved and reserved ones).
bool isUrlChar(char c) {
    if (isAsciiAlnum(c)) return true;
    static constexpr std::string_view kAllowed = "-._~:/?#[]@!$&'()*+,;=";
    return kAllowed.find(c) != std::string_view::npos;
}

bool hasOnlyUrlChars(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) return false;
            i += 2;
        } else if (!isUrlChar(text[i])) {
            return false;
        }
    }
    return true;
}

// Length of a leading "scheme:", or 0 when the text starts without one.
std::size_t schemeLength(std::string_view text) {
    if (text.empty() || !isAsciiAlpha(text[0])) return 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ':') return i;
        if (!isAsciiAlnum(c) && c != '+' && c != '-' && c != '.') return 0;
    }
    return 0;
}

std::string lowercase(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {  // escapes were checked by the parser
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::optional<Url> Url::fromString(std::string_view text) {
    if (!hasOnlyUrlChars(text)) return std::nullopt;
    Url url;
    url.text_ = std::string(text);
    std::string_view rest = text;
    if (const std::size_t n = schemeLength(rest); n > 0) {
        url.scheme_ = lowercase(rest.substr(0, n));
        rest.remove_prefix(n + 1);
    }
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const std::size_t end = std::min(rest.find_first_of("/?#"), rest.size());
        std::string_view authority = rest.substr(0, end);
        if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
            authority.remove_prefix(at + 1);
        }
        if (const std::size_t colon = authority.rfind(':');
            colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos) {
            authority = authority.substr(0, colon);
        }
        url.host_ = percentDecode(authority);
        rest.remove_prefix(end);
    }
    const std::string_view rawPath = rest.substr(0, std::min(rest.find_first_of("?#"), rest.size()));
    url.path_ = percentDecode(rawPath);
    url.pathDecodable_ = url.path_.find('\0') == std::string::npos;
    if (url.path_.size() > 1 && url.path_.back() == '/') url.path_.pop_back();
    return url;
}

Url Url::fromLocalPath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (isAsciiAlnum(c) || std::string_view("/-._~!$&'()*+,;=:@").find(c) != std::string_view::npos) {
            text += c;
        } else {
            text += '%';
            text += kHex[byte >> 4];
            text += kHex[byte & 15];
        }
    }
    return *fromString(text);
}

std::string Url::pathExtension() const {
    const std::string name = lastPathComponent(path_);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    return name.substr(dot + 1);
}

bool Url::isLocalFile() const {
    return scheme_ == "file" && (host_.empty() || lowercase(host_) == "localhost") && pathDecodable_ &&
           !path_.empty() && path_.front() == '/';
}

std::string lastPathComponent(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return std::string(path);
    if (slash + 1 == path.size() && path.size() == 1) return "/";
    return std::string(path.substr(slash + 1));
}

std::string folderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    if (slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

}  // namespace quillory
