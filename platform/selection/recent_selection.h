#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "inspection/selection_query.h"

namespace quillory::selection {

// "The selection" on a desktop whose file managers expose none: the most recent file list that
// any source reported (the clipboard, a hand-over from a second `quillory FILE...`, a drop on
// the panel). The polling tick reads it like the Finder's selection: the list is shared, never
// copied, and the change count tells the tick when there is nothing new to look at.
class RecentSelection final : public SelectionQuery {
public:
    std::vector<std::string> selection() override { return *urls_; }
    SelectionList currentSelection() override { return urls_; }
    std::uint64_t changeCount() const override { return changes_; }

    // A source reports its files. An empty list changes nothing, so that an emptied clipboard
    // (its owner quit) leaves the last list in place. True when the list was taken.
    bool offer(std::vector<std::string> urls) {
        if (urls.empty()) return false;
        urls_ = std::make_shared<const std::vector<std::string>>(std::move(urls));
        ++changes_;
        return true;
    }

private:
    SelectionList urls_ = std::make_shared<const std::vector<std::string>>();
    std::uint64_t changes_ = 1;  // 0 would mean "cannot tell"
};

}  // namespace quillory::selection
