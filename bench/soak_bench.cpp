// What a long session does to resident memory: the whole program on the simulated platform with
// the real image service, 1,000 ticks to warm up, then 10,000 that each show another photo and
// 10,000 over a selection that does not change. Counters: the resident growth over the warm
// session after the changing ticks and after all of them, in KiB; it should stay well under
// 1 MiB.
//
// Run: build/release/bench/soak_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <algorithm>

#include "tests/soak/soak_session.h"
#include "tests/support/proc_status.h"
#include "tests/support/support.h"

namespace {

// The photos a session alternates between: fixtures (a JPEG with a thumbnail, one without, a
// CR2) and, when the corpus is there, its smallest camera photos of each kind.
std::vector<std::string> photoUrls() {
    namespace support = quillory::support;
    std::vector<std::string> urls;
    for (const char* name : {"jpeg/o6-thumbnail.jpg", "jpeg/o1.jpg", "cr2/plain.CR2"})
        urls.push_back(quillory::Url::fromLocalPath(support::data(name).string()).string());
    for (const char* folder : {"jpg", "cr2"}) {
        std::vector<std::pair<std::uintmax_t, std::string>> bySize;
        for (const auto& file : support::corpusFiles(folder))
            bySize.emplace_back(std::filesystem::file_size(file), file);
        std::sort(bySize.begin(), bySize.end());
        for (std::size_t i = 0; i < std::min<std::size_t>(bySize.size(), 3); ++i)
            urls.push_back(quillory::Url::fromLocalPath(bySize[i].second).string());
    }
    return urls;
}

void BM_SoakSession(benchmark::State& state) {
    const std::vector<std::string> photos = photoUrls();
    for (auto _ : state) {
        quillory::soak::Session session;
        const auto showNext = [&](int tick) {
            session.selection.items = {photos[static_cast<std::size_t>(tick) % photos.size()]};
            session.tick();
            session.images.opened.clear();  // keeps its capacity, so the record does not grow
        };
        for (int tick = 0; tick < 1'000; ++tick) showNext(tick);
        const long warm = quillory::proc::statusKiB("VmRSS:");
        for (int tick = 1'000; tick < 11'000; ++tick) showNext(tick);
        const long afterChanges = quillory::proc::statusKiB("VmRSS:");
        for (int tick = 0; tick < 10'000; ++tick) session.tick();
        state.counters["growth_changing_kib"] = static_cast<double>(afterChanges - warm);
        state.counters["growth_total_kib"] = static_cast<double>(quillory::proc::statusKiB("VmRSS:") - warm);
    }
}
BENCHMARK(BM_SoakSession)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
