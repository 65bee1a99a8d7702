#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillory::selection {

inline constexpr std::string_view kGnomeCopiedFilesFormat = "x-special/gnome-copied-files";
inline constexpr std::string_view kUriListFormat = "text/uri-list";
inline constexpr std::string_view kPlainTextFormat = "text/plain";
// Set by Dolphin beside text/uri-list when the files were cut; cut and copy read alike.
inline constexpr std::string_view kKdeCutSelectionFormat = "application/x-kde-cutselection";

// The clipboard's contents in the formats this program reads, by MIME type.
using ClipboardFormats = std::map<std::string, std::string, std::less<>>;

// Text copied in an editor can be huge; a file manager's plain-text file list above this size is
// not worth fetching and splitting.
inline constexpr std::size_t kMaxPlainTextBytes = std::size_t{1} << 20;
// A file list larger than this is refused: a million long file URLs still fit.
inline constexpr std::size_t kMaxFileListBytes = std::size_t{128} << 20;

// The MIME types worth fetching from the clipboard, most specific first.
const std::vector<std::string_view>& clipboardFormatsRead();

// The most bytes worth fetching in `format` (one of clipboardFormatsRead()).
std::size_t maxBytesIn(std::string_view format);

// The files in one format's bytes; none when they hold no file list or more than maxBytesIn.
std::optional<std::vector<std::string>> filesIn(std::string_view format, std::string_view bytes);

// The files a file manager put on the clipboard with Copy or Cut (Nautilus, Nemo, Caja, Thunar,
// PCManFM, Dolphin), as URL strings in its order; none when the clipboard holds no file list,
// such as text copied in an editor or an emptied clipboard.
std::optional<std::vector<std::string>> copiedFiles(const ClipboardFormats& formats);

}  // namespace quillory::selection
