#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "inspection/image_service.h"
#include "tests/support/support.h"

// What the hostile-input tests share: the fill as the program runs it (the real image service
// behind the inspection), a check that what it showed is sound, and child processes that
// measure the memory a fill takes.
namespace quillory::hostile {

namespace fs = std::filesystem;

// What one fill may add to the idle process: 16 MiB, and for a JPEG in several scans the
// coefficients libjpeg holds whole, which a file of `bytes` fills at most at 1 KiB a byte.
long fillBudgetKiB(std::int64_t bytes);

// Resident memory of this process now, and its peak since the last resetPeakMemory(), in KiB.
long residentKiB();
long peakResidentKiB();
// Starts a new peak at the current resident size; false when the kernel does not allow it.
bool resetPeakMemory();

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
FillOutcome fill(const std::vector<std::string>& selection);
// The file URL of a local path.
std::string urlOf(const fs::path& path);

// Empty when `shown` is what a fill may show for a qualifying file at `path` whose size was
// `bytes` when it was opened: the summary's first line, pixel line and folder in their places,
// the preview visible with either no picture or one of at most 500 px a side whose pixel
// buffer matches its size. Otherwise says what is wrong.
std::string unsoundness(const FillOutcome& shown, const fs::path& path, std::int64_t bytes);

// How a child process ended.
struct ChildResult {
    bool exitedCleanly = false;  // exit status 0
    std::string how;             // "exit 3", "signal 11 (Segmentation fault)"
    std::string report;          // what the work returned
    long peakGrowthKiB = 0;      // its resident peak over its resident size before the work
};

// Runs `work` in a forked child, which inherits this process as it is, so that a crash ends
// only the child and the memory the work takes is measured on its own. A child that spends
// 20 s of processor time has hung and is ended.
ChildResult inChild(const std::function<std::string()>& work);

// Shows the file at `photo` in a child: empty when it came out sound and within its budget.
std::string showInChild(const fs::path& photo);

}  // namespace quillory::hostile
