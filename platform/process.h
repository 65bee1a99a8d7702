#pragma once

namespace quillory::platform {

// The running process itself.
class Process {
public:
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    virtual ~Process() = default;

    // Ends the process at once with `status`, asking nobody first. Does not return in
    // a real process.
    virtual void exit(int status) = 0;
};

// The real one: the C library's exit.
class SystemProcess final : public Process {
public:
    [[noreturn]] void exit(int status) override;
};

}  // namespace quillory::platform
