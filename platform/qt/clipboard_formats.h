#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillory::qt {

inline constexpr std::string_view kGnomeCopiedFilesFormat = "x-special/gnome-copied-files";
inline constexpr std::string_view kUriListFormat = "text/uri-list";
inline constexpr std::string_view kPlainTextFormat = "text/plain";
// Set by Dolphin beside text/uri-list when the files were cut; cut and copy read alike.
inline constexpr std::string_view kKdeCutSelectionFormat = "application/x-kde-cutselection";

// The clipboard's contents in the formats this program reads, by MIME type.
using ClipboardFormats = std::map<std::string, std::string, std::less<>>;

// The MIME types worth fetching from the clipboard, most specific first.
const std::vector<std::string_view>& clipboardFormatsRead();

// The files a file manager put on the clipboard with Copy or Cut (Nautilus, Nemo, Caja, Thunar,
// PCManFM, Dolphin), as URL strings in its order; none when the clipboard holds no file list,
// such as text copied in an editor or an emptied clipboard.
std::optional<std::vector<std::string>> copiedFiles(const ClipboardFormats& formats);

}  // namespace quillory::qt
