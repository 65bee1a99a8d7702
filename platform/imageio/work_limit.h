#pragma once

#include <chrono>
#include <functional>
#include <utility>

namespace quillory::imageio {

// What one preview may spend: about two seconds of work, and only while its caller still wants
// it. Asked at every check point (between scans, between row bands, every 64 KiB read); once
// reached it stays reached, and the preview comes back empty.
class WorkLimit {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kPreviewAllowance = std::chrono::seconds(2);

    explicit WorkLimit(std::function<bool()> shouldStop = {}, Clock::duration allowance = kPreviewAllowance)
        : shouldStop_(std::move(shouldStop)), deadline_(Clock::now() + allowance) {}

    // Asks the caller and the clock.
    bool reached() {
        if (!reached_) reached_ = (shouldStop_ && shouldStop_()) || Clock::now() >= deadline_;
        return reached_;
    }
    // What the last question found, without asking again.
    bool wasReached() const { return reached_; }

private:
    std::function<bool()> shouldStop_;
    Clock::time_point deadline_;
    bool reached_ = false;
};

}  // namespace quillory::imageio
