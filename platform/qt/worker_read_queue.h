#pragma once

#include <memory>

#include "inspection/read_queue.h"

namespace quillory::qt {

// Runs the reads on one worker thread and hands their results to the application's event loop
// (the UI thread); results that arrive after the queue is gone are dropped. The worker is never joined: a
// read stuck on a hung mount must not hold up quitting, so it finishes (or not) on its own and its result is
// dropped.
class WorkerReadQueue final : public ReadQueue {
public:
    WorkerReadQueue();
    ~WorkerReadQueue() override;

    void post(Read read) override;
    // True while a read is queued or under way.
    bool busy() const;

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace quillory::qt
