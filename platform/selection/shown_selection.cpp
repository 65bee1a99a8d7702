#include "platform/selection/shown_selection.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "inspection/summary.h"
#include "inspection/url.h"

namespace quillory::selection {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool isRoot(std::string_view name) {
    return name.empty() || name == "/";
}

bool canBeName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

// A name as file managers show it, in a form two renderings of one name share: bytes that are
// not UTF-8 (and control characters) become U+FFFD, and a run of them counts as one, since GTK
// writes one per byte and Qt one per sequence.
std::string displayForm(std::string_view name) {
    const std::string clean = cleanText(name);
    std::string out;
    for (std::string_view rest = clean; !rest.empty();) {
        if (rest.starts_with(kReplacement)) {
            if (!out.ends_with(kReplacement)) out += kReplacement;
            rest.remove_prefix(kReplacement.size());
        } else {
            out += rest.front();
            rest.remove_prefix(1);
        }
    }
    return out;
}

// GTK marks such a name with a note in brackets after it (" (invalid encoding)", translated).
std::string withoutEncodingNote(std::string_view shown) {
    if (shown.find(kReplacement) == std::string_view::npos || !shown.ends_with(')'))
        return std::string(shown);
    const std::size_t open = shown.rfind(" (");
    return std::string(open == std::string_view::npos ? shown : shown.substr(0, open));
}

bool exists(const std::string& path, bool folder) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    return !folder || S_ISDIR(info.st_mode);
}

std::string joined(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

// A folder's entries, read once and only when a shown name is not an entry's own name.
class Listing {
public:
    explicit Listing(std::string folder) : folder_(std::move(folder)) {}

    std::optional<std::string> find(std::string_view shown, bool folders) {
        if (canBeName(shown) && exists(joined(folder_, shown), folders)) return std::string(shown);
        const std::string wanted = displayForm(withoutEncodingNote(shown));
        if (wanted.empty() || wanted.find(kReplacement) == std::string::npos) return std::nullopt;
        std::optional<std::string> found;
        for (const std::string& entry : entries()) {
            if (displayForm(entry) != wanted || (folders && !exists(joined(folder_, entry), true))) continue;
            if (found) return std::nullopt;  // two files read the same: neither is meant for sure
            found = entry;
        }
        return found;
    }

private:
    const std::vector<std::string>& entries() {
        if (entries_) return *entries_;
        entries_.emplace();
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder_.c_str()), &::closedir);
        if (!dir) return *entries_;
        while (const dirent* entry = ::readdir(dir.get())) {
            const std::string_view name = entry->d_name;
            if (name != "." && name != "..") entries_->emplace_back(name);
        }
        return *entries_;
    }

    std::string folder_;
    std::optional<std::vector<std::string>> entries_;
};

}  // namespace

std::optional<std::string> folderFromLocation(std::string_view text, std::string_view home) {
    if (text.find_first_of(std::string_view("\n\r\0", 3)) != std::string_view::npos) return std::nullopt;
    std::string path;
    if (text.starts_with("file:")) {
        const std::optional<Url> url = Url::fromString(text);
        if (!url || !url->isLocalFile()) return std::nullopt;
        path = url->path();
    } else if ((text == "~" || text.starts_with("~/")) && home.starts_with('/')) {
        path = std::string(home) + std::string(text.substr(1));
    } else if (text.starts_with('/')) {
        path = std::string(text);
    } else {
        return std::nullopt;  // trash:///, recent:///, a search, a network place, a typed word
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path.empty() ? "/" : path;
}

std::optional<std::string> folderFromTitle(std::string_view title) {
    if (title.starts_with('/')) return folderFromLocation(title, {});
    const std::size_t dash = title.find(" - /");
    if (dash == std::string_view::npos) return std::nullopt;
    return folderFromLocation(title.substr(dash + 3), {});
}

std::optional<std::string> folderFromPathBar(const std::vector<PathButton>& buttons) {
    // A real path bar has one root: a row of unnamed toggles (a view switcher) is none.
    if (std::count_if(buttons.begin(), buttons.end(), [](const PathButton& b) { return isRoot(b.name); }) !=
        1)
        return std::nullopt;
    std::vector<PathButton> ordered = buttons;
    if (!isRoot(ordered.front().name)) std::reverse(ordered.begin(), ordered.end());
    if (!isRoot(ordered.front().name)) return std::nullopt;
    std::string path = "/";
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        if (i > 0) {
            if (!canBeName(ordered[i].name)) return std::nullopt;
            path = joined(path, ordered[i].name);
        }
        if (ordered[i].checked) return path;
    }
    return std::nullopt;
}

std::vector<std::string> foldersBelow(const std::vector<std::string>& bases,
                                      const std::vector<std::string>& crumbs) {
    std::vector<std::string> folders;
    for (const std::string& base : bases) {
        if (!base.starts_with('/')) continue;
        std::string folder = base;
        for (const std::string& crumb : crumbs) folder = joined(folder, crumb);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    }
    return folders;
}

std::optional<std::string> fileShownAs(const std::string& folder, std::string_view shown) {
    return Listing(folder).find(shown, false);
}

std::optional<std::string> folderOnDisk(std::string_view path) {
    if (!path.starts_with('/')) return std::nullopt;
    std::string onDisk = "/";
    while (!path.empty()) {
        while (path.starts_with('/')) path.remove_prefix(1);
        if (path.empty()) break;
        const std::string_view component = path.substr(0, path.find('/'));
        path.remove_prefix(component.size());
        const std::optional<std::string> found = Listing(onDisk).find(component, true);
        if (!found) return std::nullopt;
        onDisk = joined(onDisk, *found);
    }
    return onDisk;  // each component was found as a folder
}

std::vector<std::string> selectedFileUrls(const std::vector<std::string>& folders,
                                          const std::vector<std::string>& shown) {
    std::vector<std::string> best;
    std::vector<std::string> tried;
    for (const std::string& candidate : folders) {
        const std::optional<std::string> folder = folderOnDisk(candidate);
        if (!folder || std::find(tried.begin(), tried.end(), *folder) != tried.end()) continue;
        tried.push_back(*folder);
        Listing listing(*folder);
        std::vector<std::string> urls;
        for (const std::string& name : shown) {
            if (std::optional<std::string> file = listing.find(name, false))
                urls.push_back(Url::fromLocalPath(joined(*folder, *file)).string());
        }
        if (urls.size() > best.size()) best = std::move(urls);
    }
    return best;
}

std::optional<std::string> quotedName(std::string_view statusText) {
    // The name may hold quotes itself; the rest of the text (sizes, counts) holds none.
    const std::size_t close = statusText.rfind('"');
    if (!statusText.starts_with('"') || close == std::string_view::npos || close <= 1) return std::nullopt;
    return std::string(statusText.substr(1, close - 1));
}

}  // namespace quillory::selection
