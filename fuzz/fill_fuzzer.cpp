// libFuzzer target: bytes become the file the user selected, and the fill turns that file into
// the summary text and the preview picture exactly as the program does (the inspection over the
// exiv2 + libjpeg-turbo image service). Besides crashes, leaks, undefined behaviour, hangs and
// oversized allocations, it stops on an unsound result: a summary without the file's name,
// size, pixel line or folder, or a preview larger than 500 px a side or with the wrong number
// of pixels.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "inspection/panel_fill.h"
#include "inspection/read_queue.h"
#include "platform/imageio/image_service_factory.h"
#include "tests/support/fakes.h"

namespace {

[[noreturn]] void unsound(const char* what, const std::string& summary) {
    std::fprintf(stderr, "unsound fill: %s\nsummary:\n%s\n", what, summary.c_str());
    std::abort();
}

// The selected file: photo.jpg in a folder of its own in shared memory, so that no input ever
// touches the disk.
struct Folder {
    std::string path = "/dev/shm/quillory-fuzz-" + std::to_string(::getpid());
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() { std::filesystem::remove_all(path); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Folder folder;
    static const std::unique_ptr<quillory::ImageService> images = quillory::imageio::makeImageService();
    const std::string path = folder.path + "/photo.jpg";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    quillory::testing::FakeSelection selection;
    selection.items = {quillory::Url::fromLocalPath(path).string()};
    quillory::testing::RecordingPanel panel;
    panel.previewHidden = true;
    quillory::InlineReadQueue reads;
    quillory::Inspector inspector({selection, *images, reads, {}, {}});
    inspector.setPanel(&panel);
    inspector.FillPanel();
    const std::string& text = panel.summary;
    const std::string first = "photo.jpg  (" + std::to_string(size / 1000) + " kB) \n";
    const std::size_t pixelEnd = text.find(" \n\n", first.size());
    if (!text.starts_with(first)) unsound("first line", text);
    if (pixelEnd == std::string::npos || text.find('\n', first.size()) != pixelEnd + 1)
        unsound("pixel line", text);
    if (!text.ends_with("\n\n" + folder.path)) unsound("folder", text);
    if (panel.previewHidden || !panel.pictureSet) unsound("preview hidden or left as it was", text);
    const auto& picture = panel.picture;
    if (picture &&
        (picture->width < 1 || picture->height < 1 || picture->width > 500 || picture->height > 500 ||
         picture->rgb.size() != static_cast<std::size_t>(picture->width) * picture->height * 3))
        unsound("preview size or pixels", text);
    return 0;
}
