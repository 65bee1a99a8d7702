#pragma once

#include <string>
#include <vector>

#include "inspection/selection_query.h"

namespace quillory::qt {

// "The selection" on a desktop whose file managers expose none: the most recent file list that
// any source reported (the clipboard, a hand-over from a second `quillory FILE...`, a drop on
// the panel). The polling tick reads it like the Finder's selection.
class RecentSelection final : public SelectionQuery {
public:
    std::vector<std::string> selection() override { return urls_; }

    // A source reports its files. An empty list changes nothing, so that an emptied clipboard
    // (its owner quit) leaves the last list in place. True when the list was taken.
    bool offer(std::vector<std::string> urls) {
        if (urls.empty()) return false;
        urls_ = std::move(urls);
        return true;
    }

private:
    std::vector<std::string> urls_;
};

}  // namespace quillory::qt
