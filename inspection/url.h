#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillory {

// A URL as the file manager hands it over: one string per selected item.
// Parsing is strict, like the platform's URL class: a string with characters that
// may not stand in a URL, or with a broken percent escape, gives no URL at all.
class Url {
public:
    // The URL for `text`, or none when `text` is not a valid URL.
    static std::optional<Url> fromString(std::string_view text);
    // The file: URL for an absolute local path (escapes what needs escaping).
    static Url fromLocalPath(std::string_view path);

    const std::string& string() const { return text_; }
    // Lower-cased scheme, empty for a relative URL.
    const std::string& scheme() const { return scheme_; }
    // Host as written (may be empty).
    const std::string& host() const { return host_; }
    // File-system path with percent escapes decoded; a trailing slash is dropped.
    const std::string& path() const { return path_; }
    // Text after the last dot of the path's last component, empty when there is none.
    std::string pathExtension() const;
    // True for file: URLs of this machine (no host, or "localhost") whose path can name a file.
    bool isLocalFile() const;

    friend bool operator==(const Url& a, const Url& b) { return a.text_ == b.text_; }

private:
    std::string text_;
    std::string scheme_;
    std::string host_;
    std::string path_;
    bool pathDecodable_ = true;
};

// The last component of a path ("/a/b.jpg" gives "b.jpg").
std::string lastPathComponent(std::string_view path);
// The path without its last component and the slash before it; "/" for a file in the root.
std::string folderOf(std::string_view path);

}  // namespace quillory
