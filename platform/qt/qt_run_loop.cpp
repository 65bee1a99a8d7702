#include "platform/qt/qt_run_loop.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace quillory::qt {

namespace {

// A repeating QTimer behind the platform's timer handle; dropping the handle invalidates it.
class QtTimer final : public platform::Timer {
public:
    QtTimer(int milliseconds, std::function<void(platform::Timer&)> fire) : fire_(std::move(fire)) {
        timer_->setTimerType(Qt::PreciseTimer);
        timer_->setInterval(milliseconds);
        QObject::connect(timer_, &QTimer::timeout, timer_, [this] { fire_(*this); });
        timer_->start();
    }
    ~QtTimer() override {
        invalidate();
        // The handle may be dropped from inside its own timeout; let Qt delete the QTimer later.
        timer_->deleteLater();
    }

    void invalidate() override {
        timer_->stop();
        QObject::disconnect(timer_, nullptr, nullptr, nullptr);
    }
    bool isValid() const override { return timer_->isActive(); }

private:
    QTimer* timer_ = new QTimer;
    std::function<void(platform::Timer&)> fire_;
};

}  // namespace

int QtRunLoop::toMilliseconds(double seconds) {
    return static_cast<int>(std::lround(std::clamp(seconds, 0.0, 86400.0) * 1000.0));
}

std::unique_ptr<platform::Timer> QtRunLoop::scheduledTimer(double seconds,
                                                           std::function<void(platform::Timer&)> fire) {
    return std::make_unique<QtTimer>(std::max(toMilliseconds(seconds), 1), std::move(fire));
}

void QtRunLoop::dispatchAfter(double seconds, std::function<void()> block) {
    QTimer::singleShot(toMilliseconds(seconds), Qt::PreciseTimer, &context_, std::move(block));
}

}  // namespace quillory::qt
