#pragma once

#include <fstream>
#include <regex>

#include "inspection/panel_fill.h"
#include "inspection/read_queue.h"
#include "inspection/summary.h"
#include "platform/imageio/image_service_factory.h"
#include "tests/support/fakes.h"
#include "tests/support/proc_status.h"
#include "tests/support/support.h"

// What the hostile-input tests share: the fill as the program runs it (the real image service
// behind the inspection), a check that what it showed is sound, and the memory it took.
namespace quillory::hostile {

namespace fs = std::filesystem;

// What one fill may add to the process: far below what the crafted frames claim (gigabytes).
inline constexpr long kFillBudgetKiB = 48 * 1024;

// What one fill left in the panel.
struct FillOutcome {
    std::string summary;
    bool previewHidden = false;
    bool pictureSet = false;
    std::shared_ptr<const Bitmap> picture;
    std::optional<std::string> oldUrlPath;
};

// Runs the fill for `selection` with the program's own image service, on a panel that showed
// "previous text" and a visible preview before.
inline FillOutcome fill(const std::vector<std::string>& selection) {
    static const std::unique_ptr<ImageService> images = imageio::makeImageService();
    testing::FakeSelection query;
    query.items = selection;
    testing::RecordingPanel panel;
    InlineReadQueue reads;
    Inspector inspector({query, *images, reads, [] { return std::optional<std::string>("1.2"); }, {}});
    inspector.setPanel(&panel);
    inspector.FillPanel();
    return {panel.summary, panel.previewHidden, panel.pictureSet, panel.picture,
            inspector.oldUrl() ? std::optional(inspector.oldUrl()->path()) : std::nullopt};
}

inline std::string urlOf(const fs::path& path) {
    return Url::fromLocalPath(path.string()).string();
}

// Empty when `shown` is what a fill may show for the file at `path`, of `bytes` when opened:
// its name and size, a pixel line of numbers or (null), its folder last, the preview visible
// and replaced by none or by a picture of at most 500 px a side. Otherwise says what is wrong.
inline std::string unsoundness(const FillOutcome& shown, const fs::path& path, std::int64_t bytes) {
    const std::string& text = shown.summary;
    const std::string first =
        cleanText(path.filename().string()) + "  (" + std::to_string(bytes / 1000) + " kB) \n";
    static const std::regex pixels(
        R"(^(\d+|\(null\)) x (\d+|\(null\)) x (\d+|\(null\)) (RGB|Gray|CMYK|\(null\)) \n\n)");
    if (!text.starts_with(first) || !std::regex_search(text.substr(first.size(), 64), pixels) ||
        !text.ends_with("\n\n" + cleanText(path.parent_path().string())))
        return "the summary reads: " + text;
    if (shown.previewHidden || !shown.pictureSet) return "the preview was hidden or kept";
    if (const auto& picture = shown.picture) {
        if (std::min(picture->width, picture->height) < 1 ||
            std::max(picture->width, picture->height) > 500 ||
            picture->rgb.size() != static_cast<std::size_t>(picture->width) * picture->height * 3)
            return "a preview of " + std::to_string(picture->width) + " x " + std::to_string(picture->height);
    }
    return shown.oldUrlPath == path.string() ? "" : "the photo was not recorded as shown";
}

// How much `work` raised this process's peak resident memory, in KiB; 0 where it cannot be
// told (sanitizer builds, kernels that cannot reset the peak).
inline long peakGrowthKiB(const std::function<void()>& work) {
    // "5" starts a new peak at the present resident size (Linux 4.0 and later).
    const bool reset = static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5" << std::flush);
    const long before = proc::statusKiB("VmRSS:");
    work();
    return reset && !support::kAddressSanitizer ? proc::statusKiB("VmHWM:") - before : 0;
}

}  // namespace quillory::hostile
