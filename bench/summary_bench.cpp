// The command line's summary as a whole process, beside exiv2's own `exiv2 -pt` on the same
// photo: each iteration runs both, one after the other, so that a busy machine slows both alike.
// The iteration time is Quillory's wall time; the counters give exiv2's, the ratio of the two,
// and the same for the processes' CPU time.
// Run: build/release/bench/summary_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

fs::path corpus() {
    const char* env = std::getenv("QUILLORY_CORPUS");
    return env ? fs::path(env) : fs::path(QUILLORY_CORPUS_DIR);
}

struct Cost {
    double wall = -1;  // seconds; negative when the program could not be run or failed
    double cpu = 0;    // user and system seconds of the process
};

// Runs `argv` with its output discarded.
Cost run(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    struct rusage usage {};
    if (spawned != 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return {};
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return {std::chrono::duration<double>(Clock::now() - start).count(),
            seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

// On a shared machine the processes' own CPU time is the steadier figure: both are reported.
void summaryAgainstExiv2(benchmark::State& state, const fs::path& photo) {
    Cost ours;
    Cost theirs;
    ours.wall = theirs.wall = 0;
    for (auto _ : state) {
        const Cost quillory = run({QUILLORY_BINARY, "--summary", photo.string()});
        const Cost exiv2 = run({"exiv2", "-pt", photo.string()});
        if (quillory.wall < 0 || exiv2.wall < 0) {
            state.SkipWithError("quillory or exiv2 could not be run (exiv2 comes with install-deps.sh)");
            return;
        }
        state.SetIterationTime(quillory.wall);
        ours.wall += quillory.wall;
        ours.cpu += quillory.cpu;
        theirs.wall += exiv2.wall;
        theirs.cpu += exiv2.cpu;
    }
    const auto perRun = [&](double seconds) {
        return seconds * 1e3 / static_cast<double>(state.iterations());
    };
    state.counters["exiv2_ms"] = perRun(theirs.wall);
    state.counters["ratio"] = ours.wall / theirs.wall;
    state.counters["cpu_ms"] = perRun(ours.cpu);
    state.counters["exiv2_cpu_ms"] = perRun(theirs.cpu);
    state.counters["cpu_ratio"] = theirs.cpu > 0 ? ours.cpu / theirs.cpu : 0;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // The corpus' largest JPEG file, and the 14 MP photo the fill benchmark uses.
    const char* const kPhotos[] = {"Apple iPhone 4S.jpg", "Nikon D3100.jpg"};
    for (const char* name : kPhotos) {
        const fs::path photo = corpus() / "jpg" / name;
        if (!fs::exists(photo)) {
            std::fprintf(stderr, "%s not found: the corpus is absent\n", photo.c_str());
            continue;
        }
        benchmark::RegisterBenchmark(("summary_vs_exiv2_pt/" + std::string(name)).c_str(),
                                     summaryAgainstExiv2, photo)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
