#include "platform/sim/sim_run_loop.h"

#include <algorithm>
#include <cmath>

namespace quillory::platform::sim {

struct SimRunLoop::TimerState final : Timer {
    std::int64_t interval = 0;
    std::int64_t next = 0;
    std::uint64_t order = 0;
    bool valid = true;
    std::function<void(Timer&)> fire;

    void invalidate() override { valid = false; }
    bool isValid() const override { return valid; }
};

namespace {

// The handle the owner holds; dropping it invalidates the timer, as the owner's release does.
class TimerHandle final : public Timer {
public:
    explicit TimerHandle(std::shared_ptr<Timer> state) : state_(std::move(state)) {}
    ~TimerHandle() override { state_->invalidate(); }
    void invalidate() override { state_->invalidate(); }
    bool isValid() const override { return state_->isValid(); }

private:
    std::shared_ptr<Timer> state_;
};

}  // namespace

std::int64_t SimRunLoop::toNs(double seconds) {
    return std::llround(seconds * 1e9);
}

std::unique_ptr<Timer> SimRunLoop::scheduledTimer(double seconds, std::function<void(Timer&)> fire) {
    auto state = std::make_shared<TimerState>();
    state->interval = std::max<std::int64_t>(toNs(seconds), 1);
    state->next = nowNs_ + state->interval;
    state->order = nextOrder_++;
    state->fire = std::move(fire);
    timers_.push_back(state);
    return std::make_unique<TimerHandle>(state);
}

void SimRunLoop::dispatchAfter(double seconds, std::function<void()> block) {
    tasks_.push_back({nowNs_ + std::max<std::int64_t>(toNs(seconds), 0), nextOrder_++, std::move(block)});
}

void SimRunLoop::runInternalAt(std::int64_t dueNs, std::function<void()> task) {
    tasks_.push_back({std::max(dueNs, nowNs_), nextOrder_++, std::move(task)});
}

bool SimRunLoop::runNextDue(std::int64_t limitNs) {
    std::erase_if(timers_, [](const auto& t) { return !t->valid; });
    auto timer = std::min_element(timers_.begin(), timers_.end(), [](const auto& a, const auto& b) {
        return a->next != b->next ? a->next < b->next : a->order < b->order;
    });
    auto task = std::min_element(tasks_.begin(), tasks_.end(), [](const Task& a, const Task& b) {
        return a.due != b.due ? a.due < b.due : a.order < b.order;
    });
    bool haveTimer = timer != timers_.end() && (*timer)->next <= limitNs;
    bool haveTask = task != tasks_.end() && task->due <= limitNs;
    if (haveTimer && haveTask) {
        haveTimer =
            (*timer)->next < task->due || ((*timer)->next == task->due && (*timer)->order < task->order);
        haveTask = !haveTimer;
    }
    if (haveTimer) {
        std::shared_ptr<TimerState> state = *timer;  // keeps it alive if the callback drops the handle
        nowNs_ = state->next;
        state->next += state->interval;
        state->order = nextOrder_++;
        state->fire(*state);
        return true;
    }
    if (haveTask) {
        Task next = std::move(*task);
        tasks_.erase(task);
        nowNs_ = next.due;
        next.run();
        return true;
    }
    return false;
}

void SimRunLoop::advance(double seconds) {
    const std::int64_t limit = nowNs_ + toNs(seconds);
    while (runNextDue(limit)) {
    }
    nowNs_ = limit;
}

std::size_t SimRunLoop::liveTimerCount() const {
    return static_cast<std::size_t>(
        std::count_if(timers_.begin(), timers_.end(), [](const auto& t) { return t->valid; }));
}

}  // namespace quillory::platform::sim
