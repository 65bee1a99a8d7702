#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillory::mac {

// Asks the Finder for the URL of every selected item, one a line, in the Finder's order. Items
// without a URL are left out instead of failing the whole answer.
inline constexpr std::string_view kFinderSelectionScript =
    "tell application \"Finder\"\n"
    "  set answer to \"\"\n"
    "  repeat with selectedItem in (get selection)\n"
    "    try\n"
    "      set answer to answer & (URL of selectedItem) & linefeed\n"
    "    end try\n"
    "  end repeat\n"
    "  return answer\n"
    "end tell\n";

// The URL strings in osascript's output of that script: one a line; blank lines, line-end CRs
// and the newline osascript adds are dropped. Nothing else is judged here: invalid strings stay
// for the polling tick to skip, as the Finder's own list would.
std::vector<std::string> parseFinderSelectionOutput(std::string_view output);

}  // namespace quillory::mac
