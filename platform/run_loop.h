#pragma once

#include <functional>
#include <memory>

namespace quillory::platform {

// A repeating timer on the main run loop. Destroying the handle invalidates the timer.
class Timer {
public:
    Timer() = default;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    virtual ~Timer() = default;

    // The timer never fires again; a second call is harmless.
    virtual void invalidate() = 0;
    // False once invalidated.
    virtual bool isValid() const = 0;
};

// The main thread's run loop: timers and delayed blocks run on it one at a time.
class RunLoop {
public:
    RunLoop() = default;
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;
    virtual ~RunLoop() = default;

    // A timer calling `fire` every `seconds`, first one interval from now, until invalidated.
    virtual std::unique_ptr<Timer> scheduledTimer(double seconds, std::function<void(Timer&)> fire) = 0;
    // Runs `block` once, `seconds` from now on the wall clock.
    virtual void dispatchAfter(double seconds, std::function<void()> block) = 0;
};

}  // namespace quillory::platform
