#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillory {

// A selection as a source keeps it: shared, never copied for a reader.
using SelectionList = std::shared_ptr<const std::vector<std::string>>;

// The file manager's current selection: one URL string per selected item, in the file
// manager's order. An unavailable selection is an empty list.
class SelectionQuery {
public:
    SelectionQuery() = default;
    SelectionQuery(const SelectionQuery&) = delete;
    SelectionQuery& operator=(const SelectionQuery&) = delete;
    virtual ~SelectionQuery() = default;

    virtual std::vector<std::string> selection() = 0;

    // The same list without a copy, for sources that keep theirs; never nullptr.
    virtual SelectionList currentSelection() {
        return std::make_shared<const std::vector<std::string>>(selection());
    }
    // Grows with every change of the selection, so that a reader can tell an unchanged one
    // without looking at it. 0: the source cannot tell (it is asked every time).
    virtual std::uint64_t changeCount() const { return 0; }
};

}  // namespace quillory
