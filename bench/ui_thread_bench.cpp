// How long the UI thread is busy at a stretch while the panel fills: the real panel (Qt,
// offscreen), the real image service on its worker, every corpus photo in turn. Each stretch is
// one pass of the event loop (applying a result, repainting) or the fill's own call, in CPU time
// of the UI thread.
//
//   ui_thread_bench [CORPUS_DIR]     (QT_SCALE_FACTOR=2 for a high-density screen)

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "inspection/read_queue.h"
#include "panel/panel_controller.h"
#include "platform/imageio/image_service_factory.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/worker_read_queue.h"

namespace fs = std::filesystem;
using namespace quillory;

namespace {

class OneFile final : public SelectionQuery {
public:
    std::vector<std::string> selection() override { return {url}; }
    std::string url;
};

// The image service, optionally without the sharper second preview.
class Images final : public ImageService {
public:
    explicit Images(bool sharpen) : sharpen_(sharpen) {}
    std::unique_ptr<ImageSource> createWithPath(const std::string& path, std::string* why) override {
        auto source = inner_->createWithPath(path, why);
        if (!source || sharpen_) return source;
        return std::make_unique<NoSharpening>(std::move(source));
    }

private:
    class NoSharpening final : public ImageSource {
    public:
        explicit NoSharpening(std::unique_ptr<ImageSource> inner) : inner_(std::move(inner)) {}
        std::optional<ImageProperties> copyPropertiesAtIndex0() override {
            return inner_->copyPropertiesAtIndex0();
        }
        std::optional<ContainerProperties> copyProperties() override { return inner_->copyProperties(); }
        std::optional<Bitmap> createThumbnailAtIndex0(const ThumbnailOptions& options) override {
            if (options.createThumbnailFromImageAlways) return std::nullopt;
            return inner_->createThumbnailAtIndex0(options);
        }

    private:
        std::unique_ptr<ImageSource> inner_;
    };
    bool sharpen_;
    std::unique_ptr<ImageService> inner_ = imageio::makeImageService();
};

// CPU time of the calling thread: what the UI thread itself spends, whatever else the machine
// is busy with.
class ThreadClock {
public:
    ThreadClock() : start_(now()) {}
    double elapsedMs() const { return (now() - start_) / 1e6; }

private:
    static double now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
    }
    double start_;
};

// The longest stretch, in ms, of showing `path` in an open panel.
double longestStretch(PanelController& panel, OneFile& selection, qt::WorkerReadQueue& reads,
                      const fs::path& path) {
    selection.url = "file://" + path.string();
    double longest = 0;
    ThreadClock clock;
    panel.FillPanel();
    longest = clock.elapsedMs();
    // Until the worker is idle and every result it delivered has been applied and painted.
    for (int idlePasses = 0; idlePasses < 3;) {
        clock = ThreadClock();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        longest = std::max(longest, clock.elapsedMs());
        idlePasses = reads.busy() ? 0 : idlePasses + 1;
    }
    return longest;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const fs::path corpus = argc > 1 ? fs::path(argv[1]) : fs::path(QUILLORY_CORPUS_DIR);
    if (!fs::is_directory(corpus)) {
        std::printf("no corpus at %s: nothing to measure\n", corpus.c_str());
        return 0;
    }
    std::vector<fs::path> photos;
    for (const char* folder : {"jpg", "cr2"})
        for (const auto& entry : fs::directory_iterator(corpus / folder)) photos.push_back(entry.path());
    std::sort(photos.begin(), photos.end());
    const fs::path largest =
        *std::max_element(photos.begin(), photos.end(), [](const auto& a, const auto& b) {
            return a.extension() == ".jpg" && b.extension() == ".jpg" ? fs::file_size(a) < fs::file_size(b)
                                                                      : a.extension() != ".jpg";
        });
    const fs::path bare =
        bench::copyWithoutThumbnail(largest, fs::temp_directory_path() / "quillory-bare.jpg");
    photos.push_back(bare);

    std::printf("%-44s %12s %12s\n", "photo", "sharpened", "embedded only");
    double worst[2] = {0, 0};
    std::vector<double> rows[2];
    for (int sharpen = 1; sharpen >= 0; --sharpen) {
        qt::QtPlatform qt({{[] { return true; }, {}}, std::nullopt, nullptr});
        OneFile selection;
        Images images(sharpen == 1);
        qt::WorkerReadQueue reads;
        PanelController panel(qt.services(), {selection, images, reads}, nullptr);
        panel.setHasActivePanel(true);
        for (const fs::path& photo : photos) {
            const double ms = longestStretch(panel, selection, reads, photo);
            rows[sharpen].push_back(ms);
            worst[sharpen] = std::max(worst[sharpen], ms);
        }
    }
    for (std::size_t i = 0; i < photos.size(); ++i)
        std::printf("%-44s %9.2f ms %9.2f ms\n", photos[i].filename().c_str(), rows[1][i], rows[0][i]);
    std::printf("%-44s %9.2f ms %9.2f ms\n", "LONGEST", worst[1], worst[0]);
    fs::remove(bare);
    return 0;
}
