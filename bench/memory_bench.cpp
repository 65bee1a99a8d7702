// What a fill costs in memory, and what a tick over a huge selection costs in time.
//
// memory/<photo>: the peak resident memory one fill adds to the idle program (the inspection
// and the image service built, one small photo shown before), measured in a fresh child process
// per run: the kernel's peak is reset (/proc/self/clear_refs), the photo is shown, and the
// peak is read back (VmHWM). The budget is 16 MiB. Photos:
//   largest_corpus_jpeg          the largest JPEG of the corpus, as it is (its EXIF thumbnail)
//   largest_corpus_jpeg_bare     the same without its thumbnail: the image itself is decoded
//   largest_corpus_cr2           the largest CR2 of the corpus
//   synthetic_50mp               8660 x 5774 baseline JPEG without thumbnail, written by the
//                                benchmark row by row
//   synthetic_50mp_progressive   the same, progressive: libjpeg holds every coefficient of a
//                                progressive picture (150 MB here), beyond the budget by nature
// tick/100k/<order>: one tick over an unchanged selection of 100,000 items, the one photo last
// or first (then every item is parsed to find it); the tick must not fill.
//
// Run: build/release/bench/memory_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// jpeglib.h needs FILE and size_t first.
#include <jpeglib.h>

#include "bench/bench_support.h"
#include "inspection/panel_fill.h"
#include "inspection/read_queue.h"
#include "platform/imageio/image_service_factory.h"
#include "tests/support/proc_status.h"

namespace {

namespace fs = std::filesystem;

constexpr double kMiB = 1024.0 * 1024.0;
constexpr double kBudgetMiB = 16.0;

fs::path corpus() {
    const char* env = std::getenv("QUILLORY_CORPUS");
    return env && *env ? fs::path(env) : fs::path(QUILLORY_CORPUS_DIR);
}

fs::path scratch() {
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "quillory-memory-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        return fs::path(pattern);
    }();
    return folder;
}

fs::path largestIn(const char* folder) {
    fs::path largest;
    std::uintmax_t size = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(corpus() / folder, error)) {
        if (entry.is_regular_file() && entry.file_size() > size) {
            size = entry.file_size();
            largest = entry.path();
        }
    }
    return largest;
}

fs::path withoutThumbnail(const fs::path& photo) {
    return quillory::bench::copyWithoutThumbnail(photo, scratch() / ("bare" + photo.extension().string()));
}

// A JPEG of `width` x `height` written row by row, so that it is never held whole: soft
// gradients under a fine grid, which compresses like a photo rather than like a flat area.
fs::path syntheticJpeg(const std::string& name, int width, int height, bool progressive) {
    const fs::path path = scratch() / name;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) std::abort();
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 88, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const auto y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < width; ++x) {
            const bool grid = x % 97 == 0 || y % 89 == 0;
            JSAMPLE* p = &row[static_cast<std::size_t>(x) * 3];
            p[0] = static_cast<JSAMPLE>(grid ? 255 : x * 255 / width);
            p[1] = static_cast<JSAMPLE>(grid ? 255 : y * 255 / height);
            p[2] = static_cast<JSAMPLE>(128 + 100 * std::sin(x * 0.01 + y * 0.013));
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(out);
    return path;
}

class Selection final : public quillory::SelectionQuery {
public:
    std::vector<std::string> selection() override { return items; }
    std::vector<std::string> items;
};

using quillory::bench::DiscardingPanel;
using quillory::proc::statusKiB;

struct Measured {
    long idleKiB = 0;
    long addedKiB = 0;
    int shown = 0;
};

// In the child: the idle program, then one fill of `photo`; what the fill added at its peak.
Measured measureFill(const fs::path& warmUp, const fs::path& photo) {
    const auto images = quillory::imageio::makeImageService();
    Selection selection;
    DiscardingPanel panel;
    quillory::InlineReadQueue reads;
    quillory::Inspector inspector({selection, *images, reads, {}, {}});
    inspector.setPanel(&panel);
    selection.items = {quillory::Url::fromLocalPath(warmUp.string()).string()};
    inspector.FillPanel();

    const int clear = ::open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
    if (clear < 0 || ::write(clear, "5", 1) != 1) std::abort();  // the peak starts again from here
    ::close(clear);
    Measured measured;
    measured.idleKiB = statusKiB("VmRSS:");
    selection.items = {quillory::Url::fromLocalPath(photo.string()).string()};
    inspector.FillPanel();
    measured.addedKiB = statusKiB("VmHWM:") - measured.idleKiB;
    measured.shown = panel.shown ? 1 : 0;
    return measured;
}

Measured inFreshChild(const fs::path& warmUp, const fs::path& photo) {
    int pipe[2];
    if (::pipe(pipe) != 0) std::abort();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipe[0]);
        const Measured measured = measureFill(warmUp, photo);
        const bool sent = ::write(pipe[1], &measured, sizeof measured) == sizeof measured;
        ::_exit(sent ? 0 : 1);
    }
    ::close(pipe[1]);
    Measured measured;
    const bool got = ::read(pipe[0], &measured, sizeof measured) == sizeof measured;
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return Measured{-1, -1, 0};
    return measured;
}

void fillMemory(benchmark::State& state, fs::path photo) {
    static const fs::path warmUp = syntheticJpeg("warm-up.jpg", 64, 48, false);
    Measured worst;
    for (auto _ : state) {
        const Measured measured = inFreshChild(warmUp, photo);
        if (measured.addedKiB < 0) {
            state.SkipWithError("the child process failed");
            return;
        }
        if (measured.addedKiB >= worst.addedKiB) worst = measured;
    }
    state.counters["added_MiB"] = static_cast<double>(worst.addedKiB) * 1024 / kMiB;
    state.counters["budget_MiB"] = kBudgetMiB;
    state.counters["idle_MiB"] = static_cast<double>(worst.idleKiB) * 1024 / kMiB;
    state.counters["preview"] = worst.shown;
    state.counters["file_MiB"] = static_cast<double>(fs::file_size(photo)) / kMiB;
}

void tickUnchanged(benchmark::State& state, bool photoLast) {
    const fs::path photo = syntheticJpeg("shown.jpg", 64, 48, false);
    Selection selection;
    for (int i = 0; i < 99'999; ++i) {
        const std::string n = std::to_string(i);
        selection.items.push_back(i % 3 == 0 ? "file:///documents/notes " + n + ".txt"
                                  : i % 3 == 1
                                      ? "file:///folders/" + n + "/"
                                      : (photoLast ? "file:///absent/IMG_" + n + ".JPG" : "no url " + n));
    }
    const std::string shown = quillory::Url::fromLocalPath(photo.string()).string();
    if (photoLast) {
        selection.items.push_back(shown);
    } else {
        selection.items.insert(selection.items.begin(), shown);
    }
    const auto images = quillory::imageio::makeImageService();
    int fills = 0;
    quillory::InlineReadQueue reads;
    quillory::Inspector inspector({selection, *images, reads, {}, [&](std::string_view) { ++fills; }});
    inspector.timer();  // the first tick shows the photo
    fills = 0;
    for (auto _ : state) inspector.timer();
    state.counters["fills"] = fills;
    state.counters["items"] = static_cast<double>(selection.items.size());
}

void registerAll() {
    std::vector<std::pair<std::string, fs::path>> photos;
    if (const fs::path jpeg = largestIn("jpg"); !jpeg.empty()) {
        photos.emplace_back("largest_corpus_jpeg", jpeg);
        photos.emplace_back("largest_corpus_jpeg_bare", withoutThumbnail(jpeg));
    }
    if (const fs::path raw = largestIn("cr2"); !raw.empty()) photos.emplace_back("largest_corpus_cr2", raw);
    photos.emplace_back("synthetic_50mp", syntheticJpeg("synthetic-50mp.jpg", 8660, 5774, false));
    photos.emplace_back("synthetic_50mp_progressive",
                        syntheticJpeg("synthetic-50mp-progressive.jpg", 8660, 5774, true));
    for (const auto& [name, path] : photos) {
        benchmark::RegisterBenchmark(("memory/" + name).c_str(), fillMemory, path)
            ->Iterations(3)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("tick/100k/photo_last", tickUnchanged, true)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("tick/100k/photo_first", tickUnchanged, false)
        ->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    benchmark::Initialize(&argc, argv);
    if (largestIn("jpg").empty())
        std::fprintf(stderr, "corpus not found at %s: only synthetic photos are measured\n",
                     corpus().c_str());
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(scratch(), ignored);
    return 0;
}
