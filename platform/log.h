#pragma once

#include <string_view>

namespace quillory::platform {

// The system log: one line per message, no levels.
class Log {
public:
    Log() = default;
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;
    virtual ~Log() = default;

    virtual void log(std::string_view message) = 0;
};

// Writes each message as one line on standard error, where journald picks it up.
class StderrLog final : public Log {
public:
    void log(std::string_view message) override;
};

}  // namespace quillory::platform
