#include "platform/sim/sim_read_queue.h"

#include <algorithm>

namespace quillory::platform::sim {

void SimReadQueue::post(Read read) {
    if (readSeconds_ < 0) {
        if (Apply apply = read()) apply();
        return;
    }
    busyUntilNs_ = std::max(runLoop_.nowNs(), busyUntilNs_) + SimRunLoop::toNs(readSeconds_);
    runLoop_.runInternalAt(busyUntilNs_, [alive = std::weak_ptr<int>(alive_), read = std::move(read)] {
        if (alive.expired()) return;
        if (Apply apply = read()) apply();
    });
}

}  // namespace quillory::platform::sim
