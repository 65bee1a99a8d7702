#pragma once

#include <functional>

namespace quillory {

// Work that touches files runs off the UI thread: `read` runs on one worker, after the reads
// posted before it, and the function it returns then runs on the UI thread. A queue that is
// destroyed runs no further UI-thread step and never waits for a read under way.
class ReadQueue {
public:
    using Apply = std::function<void()>;
    using Read = std::function<Apply()>;

    ReadQueue() = default;
    ReadQueue(const ReadQueue&) = delete;
    ReadQueue& operator=(const ReadQueue&) = delete;
    virtual ~ReadQueue() = default;

    virtual void post(Read read) = 0;
};

// Reads and applies at once, on the caller's thread: for the command line and the tools
// that have no UI thread to keep free.
class InlineReadQueue final : public ReadQueue {
public:
    void post(Read read) override {
        if (Apply apply = read()) apply();
    }
};

}  // namespace quillory
