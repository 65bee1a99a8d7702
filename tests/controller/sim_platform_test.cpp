#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_platform.h"

namespace quillory::platform::sim {
namespace {

TEST(SimRunLoop, timersAndBlocksRunInTimeOrder) {
    SimRunLoop loop;
    std::vector<std::string> ran;
    auto timer =
        loop.scheduledTimer(0.5, [&](Timer&) { ran.push_back("tick@" + std::to_string(loop.nowNs())); });
    loop.dispatchAfter(0.2, [&] { ran.push_back("block@" + std::to_string(loop.nowNs())); });
    loop.dispatchAfter(1.0, [&] { ran.push_back("late@" + std::to_string(loop.nowNs())); });
    loop.advance(0.99);
    EXPECT_EQ(ran, (std::vector<std::string>{"block@200000000", "tick@500000000"}));
    loop.advance(0.01);
    ASSERT_EQ(ran.size(), 4u);
    EXPECT_EQ(ran[2].substr(ran[2].find('@')), "@1000000000");
    EXPECT_EQ(ran[3].substr(ran[3].find('@')), "@1000000000");
    EXPECT_EQ(loop.pendingBlockCount(), 0u);
}

TEST(SimRunLoop, invalidatingTwiceOrDroppingTheHandleStopsTheTimer) {
    SimRunLoop loop;
    int fired = 0;
    auto timer = loop.scheduledTimer(0.5, [&](Timer&) { ++fired; });
    auto other = loop.scheduledTimer(0.5, [&](Timer& self) { self.invalidate(); });
    EXPECT_EQ(loop.liveTimerCount(), 2u);
    loop.advance(0.5);
    EXPECT_EQ(loop.liveTimerCount(), 1u);
    timer->invalidate();
    timer->invalidate();
    EXPECT_FALSE(timer->isValid());
    loop.advance(2.0);
    EXPECT_EQ(fired, 1);

    auto dropped = loop.scheduledTimer(0.5, [&](Timer&) { ++fired; });
    dropped.reset();
    loop.advance(2.0);
    EXPECT_EQ(fired, 1);
}

struct ResizeCounter final : WindowDelegate {
    void windowDidResize() override { ++resizes; }
    int resizes = 0;
};

TEST(SimAnimation, stepsTheFrameAndResizesAtEverySizeChange) {
    SimPlatform sim;
    auto window = sim.windows.createPanel({0, 0, 10, 10}, true);
    ResizeCounter counter;
    window->setDelegate(&counter);
    window->setFrame({5, 5, 10, 10}, true);  // moved only
    EXPECT_EQ(counter.resizes, 0);

    sim.animation.beginGrouping();
    sim.animation.setDuration(0.1);
    sim.animation.animator(*window).setFrame({0, 0, 70, 40}, true);
    sim.animation.animator(*window).setAlphaValue(0.0);
    sim.animation.endGrouping();
    EXPECT_EQ(window->frame(), (Rect{5, 5, 10, 10}));  // nothing at once
    sim.advance(0.1);
    EXPECT_EQ(window->frame(), (Rect{0, 0, 70, 40}));
    EXPECT_EQ(window->alphaValue(), 0.0);
    EXPECT_EQ(counter.resizes, 6);  // one per 1/60 s frame

    // Outside a group the animator applies at once.
    sim.animation.animator(*window).setAlphaValue(1.0);
    EXPECT_EQ(window->alphaValue(), 1.0);
}

}  // namespace
}  // namespace quillory::platform::sim
