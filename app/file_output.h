#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillory {

// Why the preview of the photo at `input` must not be written to `target`, or none when it
// may. Only a missing name, an empty file or a PNG may be replaced: never the photo itself
// (same device and inode), another kind of file, a folder, a device or a symbolic link.
std::optional<std::string> outputRefusal(const std::string& input, const std::string& target);

// Writes `bytes` to `path` all or nothing: into a temporary file beside it, renamed over it
// only once every byte is written, synced and closed. A symbolic link at `path` is replaced,
// never followed. False with the reason; `path` is then as it was.
bool replaceFile(const std::string& path, std::string_view bytes, std::string& why);

}  // namespace quillory
