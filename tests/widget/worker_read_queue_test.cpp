#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "platform/qt/worker_read_queue.h"

namespace quillory::qt {
namespace {

// Runs the event loop until `done` holds or five seconds pass.
template <typename Done>
bool pumpUntil(Done done) {
    const QDeadlineTimer deadline(5000);
    while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

TEST(WorkerReadQueue, readsRunInOrderOffTheUiThreadAndResultsApplyOnIt) {
    const std::thread::id ui = std::this_thread::get_id();
    WorkerReadQueue queue;
    std::vector<int> applied;
    std::atomic<int> offUiThread = 0;
    for (int i = 0; i < 3; ++i) {
        queue.post([&, i] {
            if (std::this_thread::get_id() != ui) ++offUiThread;
            return ReadQueue::Apply([&, i] {
                EXPECT_EQ(std::this_thread::get_id(), ui);
                applied.push_back(i);
            });
        });
    }
    ASSERT_TRUE(pumpUntil([&] { return applied.size() == 3; }));
    EXPECT_EQ(applied, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(offUiThread, 3);
    EXPECT_TRUE(pumpUntil([&] { return !queue.busy(); }));
}

TEST(WorkerReadQueue, goingAwayNeverWaitsForAStuckReadAndDropsItsResult) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto started = std::make_shared<std::promise<void>>();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    bool applied = false;
    {
        WorkerReadQueue queue;
        queue.post([&, released, started, finished] {
            started->set_value();
            released.wait();  // a read stuck on a hung mount
            *finished = true;
            return ReadQueue::Apply([&] { applied = true; });
        });
        queue.post([&] { return ReadQueue::Apply([&] { applied = true; }); });
        started->get_future().wait();
    }  // the queue goes while its read is stuck: this returns at once
    release.set_value();
    ASSERT_TRUE(pumpUntil([&] { return finished->load(); }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(applied);
}

}  // namespace
}  // namespace quillory::qt
