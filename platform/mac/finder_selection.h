#pragma once

#include <memory>

#include "inspection/selection_query.h"

namespace quillory::mac {

// The Finder's selection on macOS, asked afresh on every query through osascript (the Finder's
// scripting interface). A failed or refused request gives an empty list.
std::unique_ptr<SelectionQuery> makeFinderSelection();

}  // namespace quillory::mac
