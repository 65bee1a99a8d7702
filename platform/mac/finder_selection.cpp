#include "platform/mac/finder_selection.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <optional>
#include <string>

#include "platform/mac/finder_output.h"

extern char** environ;

namespace quillory::mac {

namespace {

// Runs osascript with the selection script and returns what it printed; none when it failed.
std::optional<std::string> runOsascript() {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string script(kFinderSelectionScript);
    char* argv[] = {const_cast<char*>("osascript"), const_cast<char*>("-e"),
                    const_cast<char*>(script.c_str()), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, "/usr/bin/osascript", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    std::string output;
    std::array<char, 4096> chunk{};
    for (ssize_t n = 0; spawned == 0 && (n = read(pipeEnds[0], chunk.data(), chunk.size())) > 0;) {
        output.append(chunk.data(), static_cast<std::size_t>(n));
    }
    close(pipeEnds[0]);
    if (spawned != 0) return std::nullopt;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return output;
}

class FinderSelection final : public SelectionQuery {
public:
    std::vector<std::string> selection() override {
        const std::optional<std::string> output = runOsascript();
        return output ? parseFinderSelectionOutput(*output) : std::vector<std::string>{};
    }
};

}  // namespace

std::unique_ptr<SelectionQuery> makeFinderSelection() {
    return std::make_unique<FinderSelection>();
}

}  // namespace quillory::mac
