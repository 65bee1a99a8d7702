#pragma once

#include <string>
#include <vector>

namespace quillory {

// The file manager's current selection: one URL string per selected item, in the file
// manager's order. An unavailable selection is an empty list.
class SelectionQuery {
public:
    SelectionQuery() = default;
    SelectionQuery(const SelectionQuery&) = delete;
    SelectionQuery& operator=(const SelectionQuery&) = delete;
    virtual ~SelectionQuery() = default;

    virtual std::vector<std::string> selection() = 0;
};

}  // namespace quillory
