// The desktop's read queue: reads on a worker thread, their results applied on the UI thread,
// and never a wait for a read stuck on a hung mount.
#include <QTest>

#include <future>

#include <gtest/gtest.h>

#include "platform/qt/worker_read_queue.h"

namespace quillory::qt {
namespace {

TEST(WorkerReadQueue, appliesResultsInOrderOnTheUiThreadAndDropsThemWhenGone) {
    const std::thread::id ui = std::this_thread::get_id();
    std::vector<int> applied;  // -1: applied off the UI thread
    std::atomic<int> readOffUi = 0;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    {
        WorkerReadQueue queue;
        for (int i = 0; i < 4; ++i) {
            queue.post([&, i, released] {
                if (i == 3) released.wait();  // stuck on a hung mount
                readOffUi += std::this_thread::get_id() != ui ? 1 : 0;
                return ReadQueue::Apply(
                    [&, i] { applied.push_back(std::this_thread::get_id() == ui ? i : -1); });
            });
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return applied.size() == 3; }, 10000));
    }  // quitting never waits for the stuck read, and drops its result
    release.set_value();
    ASSERT_TRUE(QTest::qWaitFor([&] { return readOffUi == 4; }, 10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(applied, (std::vector<int>{0, 1, 2}));
}

}  // namespace
}  // namespace quillory::qt
