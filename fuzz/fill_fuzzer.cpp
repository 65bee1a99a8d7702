// libFuzzer target: bytes become the file the user selected, and the fill turns that file into
// the summary text and the preview picture exactly as the program does (the inspection over the
// exiv2 + libjpeg-turbo image service). Besides crashes, leaks, undefined behaviour, hangs and
// oversized allocations, it stops on an unsound result: a summary without the file's name,
// size, pixel line or folder, or a preview larger than 500 px a side or with the wrong number
// of pixels.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "inspection/panel_fill.h"
#include "inspection/read_queue.h"
#include "platform/imageio/image_service_factory.h"
#include "tests/support/fakes.h"

namespace {

namespace fs = std::filesystem;

using quillory::testing::RecordingPanel;

[[noreturn]] void unsound(const char* what, const std::string& summary) {
    std::fprintf(stderr, "unsound fill: %s\nsummary:\n%s\n", what, summary.c_str());
    std::abort();
}

// The selected file: photo.jpg in a folder of its own, a link to a memory file that each input
// replaces, so that no input ever touches the disk.
class SelectedFile {
public:
    SelectedFile() {
        std::string pattern = (fs::temp_directory_path() / "quillory-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        folder_ = pattern;
        memory_ = ::memfd_create("photo", MFD_CLOEXEC);
        if (memory_ < 0) std::abort();
        fs::create_symlink("/proc/self/fd/" + std::to_string(memory_), path());
    }
    ~SelectedFile() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
        ::close(memory_);
    }
    SelectedFile(const SelectedFile&) = delete;
    SelectedFile& operator=(const SelectedFile&) = delete;

    fs::path path() const { return folder_ / "photo.jpg"; }
    const fs::path& folder() const { return folder_; }
    void replace(const std::uint8_t* data, std::size_t size) const {
        if (::ftruncate(memory_, 0) != 0) std::abort();
        for (std::size_t done = 0; done < size;) {
            const ssize_t wrote = ::pwrite(memory_, data + done, size - done, static_cast<off_t>(done));
            if (wrote <= 0) std::abort();
            done += static_cast<std::size_t>(wrote);
        }
    }

private:
    fs::path folder_;
    int memory_ = -1;
};

void checkSound(const RecordingPanel& panel, const SelectedFile& file, std::size_t size) {
    const std::string& text = panel.summary;
    const std::string first = "photo.jpg  (" + std::to_string(size / 1000) + " kB) \n";
    if (text.rfind(first, 0) != 0) unsound("first line", text);
    const std::size_t pixelEnd = text.find(" \n\n", first.size());
    if (pixelEnd == std::string::npos || text.find('\n', first.size()) != pixelEnd + 1)
        unsound("pixel line", text);
    const std::string last = "\n\n" + file.folder().string();
    if (text.size() < last.size() || text.compare(text.size() - last.size(), last.size(), last) != 0)
        unsound("folder", text);
    if (panel.previewHidden || !panel.pictureSet) unsound("preview hidden or left as it was", text);
    if (const auto& picture = panel.picture) {
        if (picture->width < 1 || picture->height < 1 || picture->width > 500 || picture->height > 500)
            unsound("preview size", text);
        if (picture->rgb.size() != static_cast<std::size_t>(picture->width) * picture->height * 3)
            unsound("preview pixels", text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const SelectedFile file;
    static const std::unique_ptr<quillory::ImageService> images = quillory::imageio::makeImageService();
    file.replace(data, size);
    quillory::testing::FakeSelection selection;
    selection.items = {quillory::Url::fromLocalPath(file.path().string()).string()};
    RecordingPanel panel;
    panel.previewHidden = true;
    quillory::InlineReadQueue reads;
    quillory::Inspector inspector({selection, *images, reads, {}, {}});
    inspector.setPanel(&panel);
    inspector.FillPanel();
    checkSound(panel, file, size);
    return 0;
}
