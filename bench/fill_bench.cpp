// The cost of filling the panel for one photo, beside what other ways of making a
// 500 px preview of the same file cost:
//   floor:  libjpeg-turbo's 1/8-scale decode of the JPEG alone (in memory, no metadata); for a
//           raw's preview, the smallest scale that still gives 500 px
//   decode_as_fill: for a raw's preview, the same at the scale the fill decodes it at
//   naive:  a full-size decode followed by a smooth scale to 500 px
//   vips:   libvips' thumbnail at 500 px with its default settings
// Run: build/release/bench/fill_bench --benchmark_repetitions=20 --benchmark_report_aggregates_only
//      --benchmark_enable_random_interleaving=true   (fairer ratios on a busy machine)
#include <benchmark/benchmark.h>
#include <turbojpeg.h>
#include <vips/vips.h>

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "inspection/panel_fill.h"
#include "inspection/read_queue.h"
#include "platform/imageio/area_scaler.h"
#include "platform/imageio/image_service_factory.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

fs::path corpus() {
    const char* env = std::getenv("QUILLORY_CORPUS");
    return env ? fs::path(env) : fs::path(QUILLORY_CORPUS_DIR);
}

Bytes readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The benchmark's own copy of a photo with its EXIF thumbnail removed.
fs::path withoutThumbnail(const fs::path& photo) {
    return quillory::bench::copyWithoutThumbnail(photo,
                                                 fs::temp_directory_path() / "quillory-bench-nothumb.jpg");
}

// The large JPEG preview a CR2 carries, as the fill would choose it.
Bytes largestPreview(const fs::path& raw) {
    auto image = Exiv2::ImageFactory::open(raw.string());
    image->readMetadata();
    Exiv2::PreviewManager previews(*image);
    const Exiv2::PreviewPropertiesList list = previews.getPreviewProperties();
    if (list.empty()) return {};
    const Exiv2::PreviewImage preview = previews.getPreviewImage(list.back());
    return Bytes(preview.pData(), preview.pData() + preview.size());
}

struct Photo {
    const char* name;
    fs::path path;
    Bytes jpeg;        // what the floor decodes
    int floorEighths;  // the floor's scale: 1/8 for photos, what a 500 px preview needs for a raw's preview
};

const std::vector<Photo>& photos() {
    static const std::vector<Photo> all = [] {
        std::vector<Photo> list;
        const fs::path jpg = corpus() / "jpg" / "Nikon D3100.jpg";
        const fs::path cr2 = corpus() / "cr2" / "rawtran_IMG_5952.CR2";
        if (fs::exists(jpg)) {
            list.push_back({"jpeg_exif_thumbnail", jpg, readAll(jpg), 1});
            const fs::path bare = withoutThumbnail(jpg);
            list.push_back({"jpeg_no_thumbnail", bare, readAll(bare), 1});
        }
        // A raw's preview is often small (1728 px): at 1/8 it would give less than 500 px.
        if (fs::exists(cr2)) list.push_back({"cr2", cr2, largestPreview(cr2), 0});
        return list;
    }();
    return all;
}

class OnePhoto final : public quillory::SelectionQuery {
public:
    explicit OnePhoto(std::string url) : url_(std::move(url)) {}
    std::vector<std::string> selection() override { return {url_}; }

private:
    std::string url_;
};

void fill(benchmark::State& state, const Photo& photo) {
    const auto images = quillory::imageio::makeImageService();
    OnePhoto selection(quillory::Url::fromLocalPath(photo.path.string()).string());
    quillory::bench::DiscardingPanel panel;
    quillory::InlineReadQueue reads;
    quillory::Inspector inspector({selection, *images, reads, {}, {}});
    inspector.setPanel(&panel);
    for (auto _ : state) inspector.FillPanel();
}

// The sharper preview that follows a small embedded one: decoded from the main image at the
// preview area's device pixels (`size`), against floor_1_8 of the same photo.
void sharpen(benchmark::State& state, const Photo& photo, int size) {
    const auto images = quillory::imageio::makeImageService();
    quillory::ThumbnailOptions options = quillory::kThumbnailOptions;
    options.createThumbnailFromImageAlways = true;
    options.thumbnailMaxPixelSize = size;
    for (auto _ : state) {
        const auto source = images->createWithPath(photo.path.string());
        benchmark::DoNotOptimize(source->createThumbnailAtIndex0(options));
    }
}

// libjpeg-turbo's decode of the photo's JPEG at `eighths`/8; 0: the smallest scale that still
// gives 500 px; kAsTheFill: the scale the fill picks.
constexpr int kAsTheFill = -1;
void scaledDecode(benchmark::State& state, const Photo& photo, int eighths) {
    tjhandle handle = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    tjDecompressHeader3(handle, photo.jpeg.data(), photo.jpeg.size(), &width, &height, &subsampling,
                        &colorspace);
    if (eighths == kAsTheFill) eighths = quillory::imageio::dctScaleEighths({width, height}, 500);
    if (eighths == 0) {
        eighths = 1;
        while (eighths < 8 && std::max(width, height) * eighths / 8 < 500) ++eighths;
    }
    const int scaledW = TJSCALED(width, (tjscalingfactor{eighths, 8}));
    const int scaledH = TJSCALED(height, (tjscalingfactor{eighths, 8}));
    state.counters["scale_eighths"] = eighths;
    Bytes out(static_cast<std::size_t>(scaledW) * scaledH * 3);
    for (auto _ : state) {
        tjDecompress2(handle, photo.jpeg.data(), photo.jpeg.size(), out.data(), scaledW, 0, scaledH, TJPF_RGB,
                      0);
        benchmark::DoNotOptimize(out.data());
    }
    tjDestroy(handle);
}

void naiveFullDecode(benchmark::State& state, const Photo& photo) {
    tjhandle handle = tjInitDecompress();
    for (auto _ : state) {
        int width = 0, height = 0, subsampling = 0, colorspace = 0;
        tjDecompressHeader3(handle, photo.jpeg.data(), photo.jpeg.size(), &width, &height, &subsampling,
                            &colorspace);
        QImage full(width, height, QImage::Format_RGB888);
        tjDecompress2(handle, photo.jpeg.data(), photo.jpeg.size(), full.bits(), width,
                      static_cast<int>(full.bytesPerLine()), height, TJPF_RGB, 0);
        const QImage small = full.scaled(500, 500, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(small.constBits());
    }
    tjDestroy(handle);
}

void vipsThumbnail(benchmark::State& state, const Photo& photo) {
    for (auto _ : state) {
        VipsImage* out = nullptr;
        if (vips_thumbnail(photo.path.c_str(), &out, 500, nullptr) != 0) {
            state.SkipWithError("libvips cannot read the file");
            break;
        }
        std::size_t size = 0;
        void* pixels = vips_image_write_to_memory(out, &size);
        benchmark::DoNotOptimize(pixels);
        g_free(pixels);
        g_object_unref(out);
    }
}

// A tick over a large selection that has not changed since the last fill.
void tickUnchanged(benchmark::State& state) {
    class Many final : public quillory::SelectionQuery {
    public:
        std::vector<std::string> selection() override { return items; }
        std::vector<std::string> items;
    } selection;
    for (int i = 0; i < state.range(0); ++i)
        selection.items.push_back("file:///photos/IMG_" + std::to_string(i) + ".JPG");
    const auto images = quillory::imageio::makeImageService();
    int logLines = 0;
    quillory::InlineReadQueue reads;
    quillory::Inspector inspector({selection, *images, reads, {}, [&](std::string_view) { ++logLines; }});
    inspector.FillPanel();  // records the last photo, as the opening does
    for (auto _ : state) inspector.timer();
    state.counters["fills"] = logLines;
}

void registerAll() {
    for (const Photo& photo : photos()) {
        const std::string name = photo.name;
        benchmark::RegisterBenchmark(("fill/" + name).c_str(), fill, photo)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("floor_1_8/" + name).c_str(), scaledDecode, photo, photo.floorEighths)
            ->Unit(benchmark::kMillisecond);
        if (name == "cr2") {
            // The fill decodes this preview at 4/8 where 3/8 would do: the same decode alone.
            benchmark::RegisterBenchmark(("decode_as_fill/" + name).c_str(), scaledDecode, photo, kAsTheFill)
                ->Unit(benchmark::kMillisecond);
        }
        if (name == "jpeg_exif_thumbnail") {
            benchmark::RegisterBenchmark(("sharpen_500/" + name).c_str(), sharpen, photo, 500)
                ->Unit(benchmark::kMillisecond);
        }
        if (name != "cr2") {
            benchmark::RegisterBenchmark(("naive_full/" + name).c_str(), naiveFullDecode, photo)
                ->Unit(benchmark::kMillisecond);
        }
        benchmark::RegisterBenchmark(("vips_thumbnail/" + name).c_str(), vipsThumbnail, photo)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("tick_unchanged", tickUnchanged)->Arg(10'000)->Unit(benchmark::kMicrosecond);
}

}  // namespace

int main(int argc, char** argv) {
    if (VIPS_INIT(argv[0]) != 0) return 1;
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    benchmark::Initialize(&argc, argv);
    if (photos().empty())
        std::fprintf(stderr, "corpus not found at %s: only the tick is measured\n", corpus().c_str());
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    vips_shutdown();
    return 0;
}
