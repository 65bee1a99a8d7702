#pragma once

#include <QObject>

#include <functional>
#include <memory>

#include "platform/run_loop.h"

namespace quillory::qt {

// Timers and delayed blocks on Qt's event loop (the main thread).
class QtRunLoop final : public platform::RunLoop {
public:
    QtRunLoop() = default;

    std::unique_ptr<platform::Timer> scheduledTimer(double seconds,
                                                    std::function<void(platform::Timer&)> fire) override;
    // Blocks still pending when the run loop is destroyed never run.
    void dispatchAfter(double seconds, std::function<void()> block) override;

    static int toMilliseconds(double seconds);

private:
    QObject context_;
};

}  // namespace quillory::qt
