#include "platform/qt/worker_read_queue.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace quillory::qt {

struct WorkerReadQueue::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Read> reads;
    bool reading = false;
    bool closed = false;
};

namespace {

bool isClosed(WorkerReadQueue::Shared& shared) {
    std::lock_guard lock(shared.mutex);
    return shared.closed;
}

void work(const std::shared_ptr<WorkerReadQueue::Shared>& shared) {
    for (;;) {
        ReadQueue::Read read;
        {
            std::unique_lock lock(shared->mutex);
            shared->reading = false;
            shared->wake.wait(lock, [&] { return shared->closed || !shared->reads.empty(); });
            if (shared->closed) return;
            read = std::move(shared->reads.front());
            shared->reads.pop_front();
            shared->reading = true;
        }
        ReadQueue::Apply apply = read();
        QCoreApplication* app = QCoreApplication::instance();
        if (!apply || app == nullptr || isClosed(*shared)) continue;
        QMetaObject::invokeMethod(
            app,
            [shared, apply = std::move(apply)] {
                if (!isClosed(*shared)) apply();
            },
            Qt::QueuedConnection);
    }
}

}  // namespace

WorkerReadQueue::WorkerReadQueue() : shared_(std::make_shared<Shared>()) {
    std::thread(work, shared_).detach();
}

WorkerReadQueue::~WorkerReadQueue() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->closed = true;
        shared_->reads.clear();
    }
    shared_->wake.notify_all();
}

void WorkerReadQueue::post(Read read) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->reads.push_back(std::move(read));
    }
    shared_->wake.notify_one();
}

bool WorkerReadQueue::busy() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->reading || !shared_->reads.empty();
}

}  // namespace quillory::qt
