#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/run_loop.h"

namespace quillory::platform::sim {

// A run loop on a virtual clock of whole nanoseconds. Nothing runs until advance() is called;
// then everything due runs in time order (ties in order of scheduling).
class SimRunLoop final : public RunLoop {
public:
    std::unique_ptr<Timer> scheduledTimer(double seconds, std::function<void(Timer&)> fire) override;
    void dispatchAfter(double seconds, std::function<void()> block) override;

    // Runs what falls due within `seconds` from now and leaves the clock there.
    void advance(double seconds);
    // The virtual time in seconds since the start.
    double now() const { return static_cast<double>(nowNs_) * 1e-9; }
    std::int64_t nowNs() const { return nowNs_; }

    // Timers scheduled through scheduledTimer that may still fire.
    std::size_t liveTimerCount() const;

    // A one-shot task for the simulated platform itself (animation frames); not counted above.
    void runInternalAt(std::int64_t dueNs, std::function<void()> task);

    static std::int64_t toNs(double seconds);

private:
    struct TimerState;
    struct Task {
        std::int64_t due;
        std::uint64_t order;
        std::function<void()> run;
    };

    bool runNextDue(std::int64_t limitNs);

    std::int64_t nowNs_ = 0;
    std::uint64_t nextOrder_ = 0;
    std::vector<std::shared_ptr<TimerState>> timers_;
    std::vector<Task> tasks_;
};

}  // namespace quillory::platform::sim
