#pragma once

#include <cstdint>
#include <memory>

#include "inspection/read_queue.h"
#include "platform/sim/sim_run_loop.h"

namespace quillory::platform::sim {

// The worker on the virtual clock: each read takes `readSeconds` of simulated time, one after
// another, and its result is applied on the run loop when it is done. A negative duration reads
// and applies at once, as if no time passed.
class SimReadQueue final : public ReadQueue {
public:
    explicit SimReadQueue(SimRunLoop& runLoop) : runLoop_(runLoop) {}

    void post(Read read) override;
    void setReadSeconds(double seconds) { readSeconds_ = seconds; }
    // True while a read is queued or under way.
    bool busy() const { return runLoop_.nowNs() < busyUntilNs_; }

private:
    SimRunLoop& runLoop_;
    double readSeconds_ = -1.0;
    std::int64_t busyUntilNs_ = 0;
    // Reads still scheduled when the queue is gone do nothing.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace quillory::platform::sim
