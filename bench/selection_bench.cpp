// CPU while the panel is open over an unchanged selection of a million files: the tray's own
// selection (RecentSelection, filled as the clipboard fills it) and the Inspector's tick, which
// runs twice a second. `core_percent` is the share of one core those two ticks a second take.
#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "inspection/panel_fill.h"
#include "inspection/read_queue.h"
#include "platform/selection/recent_selection.h"

namespace {

constexpr int kItems = 1'000'000;
constexpr double kTicksPerSecond = 2;

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// No file can be read: the tick's own cost is what is measured.
class NoImages final : public quillory::ImageService {
public:
    std::unique_ptr<quillory::ImageSource> createWithPath(const std::string&, std::string*) override {
        return nullptr;
    }
};

// A source that keeps no snapshot and no count, as the selection was kept before: every tick
// gets a copy.
class CopiedSelection final : public quillory::SelectionQuery {
public:
    std::vector<std::string> selection() override { return items; }
    std::vector<std::string> items;
};

std::vector<std::string> clipboardList(bool photoLast) {
    std::vector<std::string> urls;
    urls.reserve(kItems);
    for (int i = 0; i < kItems; ++i)
        urls.push_back("file:///home/me/Documents/Reports%202024/notes-" + std::to_string(i) + ".txt");
    urls[photoLast ? kItems - 1 : 0] = "file:///home/me/Pictures/IMG_0001.JPG";
    return urls;
}

void tick(benchmark::State& state, quillory::SelectionQuery& selection) {
    NoImages images;
    quillory::InlineReadQueue reads;
    quillory::bench::DiscardingPanel panel;
    int fills = 0;
    quillory::Inspector inspector({selection, images, reads, {}, [&](std::string_view) { ++fills; }});
    inspector.setPanel(&panel);
    inspector.FillPanel();  // the panel opens
    double start = threadCpuSeconds();
    inspector.timer();  // the first tick after a change looks at the list once
    state.counters["first_tick_ms"] = (threadCpuSeconds() - start) * 1e3;
    fills = 0;
    start = threadCpuSeconds();
    for (auto _ : state) inspector.timer();
    const double perTick = (threadCpuSeconds() - start) / static_cast<double>(state.iterations());
    state.counters["core_percent"] = perTick * kTicksPerSecond * 100;
    state.counters["fills"] = fills;
}

void unchangedRecentSelection(benchmark::State& state, bool photoLast) {
    quillory::selection::RecentSelection selection;
    selection.offer(clipboardList(photoLast));
    tick(state, selection);
}

void unchangedCopiedSelection(benchmark::State& state) {
    CopiedSelection selection;
    selection.items = clipboardList(true);
    tick(state, selection);
}

}  // namespace

BENCHMARK_CAPTURE(unchangedRecentSelection, 1M_photo_last, true)->Unit(benchmark::kNanosecond);
BENCHMARK_CAPTURE(unchangedRecentSelection, 1M_photo_first, false)->Unit(benchmark::kNanosecond);
// For comparison: the copy per tick that the shared, counted list avoids.
BENCHMARK(unchangedCopiedSelection)->Unit(benchmark::kMillisecond)->Iterations(10);

BENCHMARK_MAIN();
