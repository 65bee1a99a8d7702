#pragma once

#include <string>
#include <vector>

namespace quillory {

// The tray program: the icon, the panel and the selection sources, until it is asked to quit.
// `files` become the selection (handed to the instance already running, if there is one).
// Returns the process's exit status.
int runTray(char* programName, const std::vector<std::string>& files);

}  // namespace quillory
