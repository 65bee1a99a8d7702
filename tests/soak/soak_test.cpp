// A long session of the whole program: two thousand ticks that each show another photo, then
// two thousand over a selection that does not change: one fill for every change and none
// without. The sanitizer build's leak check at exit fails the test on anything the session
// leaked. What such a session does to resident memory is measured by bench/soak_bench.
#include <gtest/gtest.h>

#include "tests/soak/soak_session.h"
#include "tests/support/support.h"

TEST(Soak, longSessionFillsOncePerChangeAndLeavesNoLeak) {
    const char* photos[] = {"jpeg/o6-thumbnail.jpg", "jpeg/o1.jpg", "cr2/plain.CR2"};
    quillory::soak::Session session;
    for (int tick = 0; tick < 4'000; ++tick) {
        const std::string path = quillory::support::data(photos[tick % 3]).string();
        if (tick < 2'000) session.selection.items = {quillory::Url::fromLocalPath(path).string()};
        session.tick();
    }
    EXPECT_EQ(session.sim.logCount, 2'000);  // a "file change" line a fill
    EXPECT_EQ(session.images.opened.size(), 2'000u);
}
