#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "inspection/image_service.h"
#include "tests/imageio/fixtures.h"
#include "tests/sanitizer.h"

// What the hostile-input tests share: the fill as the program runs it (the real image service
// behind the inspection), a check that what it showed is sound, child processes that measure
// the memory a fill takes, and small builders of broken TIFF structures.
namespace quillory::hostile {

namespace fs = std::filesystem;
using fixtures::Bytes;

// What the fill may add to the idle process while it makes one preview.
inline constexpr long kFillBudgetKiB = 16 * 1024;

// The fill's budget for the file at `path`: kFillBudgetKiB, and for a JPEG whose picture comes
// in several scans (progressive or not interleaved) the coefficients of that picture, which
// every decoder holds whole (128 bytes an 8 x 8 block), but no more than a file of that size can
// fill: one bit a block, so 1024 bytes per byte of the file and 1 MiB for the decoder's tables.
long fillBudgetKiB(const fs::path& path);

// True in a build with AddressSanitizer, where resident memory says nothing about the program.
bool underAddressSanitizer();

// ../shared/corpus, or QUILLORY_CORPUS when set; the folder may not exist.
fs::path corpus();
// The files of `folder` inside the corpus, sorted by name.
std::vector<fs::path> corpusFiles(const std::string& folder);

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

// Runs the fill for `selection` through the inspection and `images`, on a panel that showed
// "previous text" and a visible preview before.
FillOutcome fill(ImageService& images, const std::vector<std::string>& selection);
// The same with the program's own image service.
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

// A file's bytes.
Bytes readFile(const fs::path& path);
void writeFile(const fs::path& path, const Bytes& bytes);

// A little-endian TIFF structure laid out by hand, for directories no writer would make:
// loops, offsets past the end, absurd counts. Offsets are from the start of the structure.
class TiffBuilder {
public:
    struct Entry {
        std::uint16_t tag;
        std::uint16_t type;  // 2 ASCII, 3 SHORT, 4 LONG, 5 RATIONAL
        std::uint32_t count;
        std::uint32_t value;  // inline value or offset, as written
    };

    TiffBuilder();
    // Writes a directory at the end and returns its offset; `next` is its next-directory link.
    std::uint32_t directory(const std::vector<Entry>& entries, std::uint32_t next = 0);
    // Appends raw bytes (values that live outside the entries) and returns their offset.
    std::uint32_t append(const Bytes& bytes);
    // Points the header at the first directory.
    void setFirst(std::uint32_t offset);
    // Rewrites the next-directory link of the directory at `offset`.
    void setNext(std::uint32_t directory, std::uint32_t next);
    std::uint32_t size() const { return static_cast<std::uint32_t>(bytes_.size()); }
    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

// `jpeg` with `tiff` as its APP1 "Exif" segment, right after the start-of-image.
Bytes withApp1(const Bytes& jpeg, const Bytes& tiff);

// Sets the value of `tag` in the `index`-th directory of the IFD chain of a little-endian TIFF
// file (a CR2); false when there is no such entry.
bool patchTiffTag(Bytes& tiff, int index, std::uint16_t tag, std::uint32_t value);
// Rewrites the next-directory link of the `index`-th directory of the chain; false without one.
bool linkTiffDirectory(Bytes& tiff, int index, std::uint32_t next);
// The offset of the `index`-th directory of the chain; 0 when the chain is shorter.
std::uint32_t tiffDirectory(const Bytes& tiff, int index);

}  // namespace quillory::hostile
