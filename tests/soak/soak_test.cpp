// A long session of the whole program: two thousand ticks that each show another photo, then
// two thousand over a selection that does not change. One fill for every change and none
// without, and in the sanitizer build no leak once the program is torn down. What such a
// session does to resident memory is measured by bench/soak_bench.
#include <gtest/gtest.h>

#include "tests/soak/soak_session.h"

#ifdef QUILLORY_ASAN
#include <sanitizer/lsan_interface.h>
#endif

namespace quillory {
namespace {

constexpr int kTicks = 2'000;

TEST(Soak, longSessionFillsOncePerChangeAndLeavesNoLeak) {
    const std::vector<std::string> photos = soak::photoUrls();
    {
        soak::Session session;
        const long fillsBefore = session.log.lines;
        for (int tick = 0; tick < kTicks; ++tick) {
            session.selection.items = {photos[static_cast<std::size_t>(tick) % photos.size()]};
            session.tick();
        }
        EXPECT_EQ(session.log.lines - fillsBefore, kTicks) << "one fill for every change";

        const long fills = session.log.lines;
        const std::size_t opened = session.images.opened.size();
        const int queries = session.selection.queries;
        for (int tick = 0; tick < kTicks; ++tick) session.tick();
        EXPECT_EQ(session.log.lines, fills) << "a fill without a change";
        EXPECT_EQ(session.images.opened.size(), opened) << "a file read without a change";
        EXPECT_EQ(session.selection.queries - queries, kTicks);
    }
#ifdef QUILLORY_ASAN
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "the session leaked";
#endif
}

}  // namespace
}  // namespace quillory
