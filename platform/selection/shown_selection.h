#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillory::selection {

// What a file manager shows of the folder it lists and of the items selected in it, turned into
// the files they are. File managers show names for people: a name that is not valid UTF-8 has
// U+FFFD in it (GTK adds " (invalid encoding)"), so a shown name is matched against the folder.

// The folder a location field shows: an absolute path or a file: URL; "~" stands for `home`. None
// for what is no local folder: the Trash, Recent, a search, a network place, or a half-typed text.
std::optional<std::string> folderFromLocation(std::string_view text, std::string_view home);

// A window title that carries the folder: the path itself, or "NAME - /full/path".
std::optional<std::string> folderFromTitle(std::string_view title);

// One button of a path bar.
struct PathButton {
    std::string name;
    bool checked = false;  // the folder shown
};

// The folder a path bar shows: its buttons run from one end to the other, one of them being the
// root ("" or "/"), and the checked one is the folder shown. None without a root or a checked
// button, and for a bar that starts at a place rather than at the root.
std::optional<std::string> folderFromPathBar(const std::vector<PathButton>& buttons);

// The folders a breadcrumb of names can stand for when the place it starts from is not named:
// each base, followed by the crumbs.
std::vector<std::string> foldersBelow(const std::vector<std::string>& bases,
                                      const std::vector<std::string>& crumbs);

// The file in `folder` that is shown as `shown`: the name itself when there is such a file, else
// the one entry whose name reads as `shown` once shown as file managers show it. None for no such
// entry, for several, and for names that cannot be names (empty, ".", "..", with a slash).
std::optional<std::string> fileShownAs(const std::string& folder, std::string_view shown);

// `path` as it is on disk: each component taken as it is, or matched as fileShownAs() matches
// a name. None when any component matches no folder or several.
std::optional<std::string> folderOnDisk(std::string_view path);

// The file: URLs of the items shown as `shown` (in their order), found in the first of `folders`
// in which most of them are found; items found nowhere, or more than once, are left out.
std::vector<std::string> selectedFileUrls(const std::vector<std::string>& folders,
                                          const std::vector<std::string>& shown);

// The name inside a status bar's text that names the one selected item: `"NAME" ...`. None when
// the text names no single item.
std::optional<std::string> quotedName(std::string_view statusText);

}  // namespace quillory::selection
