#include "platform/imageio/tiff_directories.h"

#include <algorithm>
#include <array>
#include <set>
#include <vector>

namespace quillory::imageio {
namespace {

constexpr std::uint16_t kExifPointer = 0x8769;
constexpr std::uint16_t kGpsPointer = 0x8825;
constexpr std::uint16_t kInteropPointer = 0xA005;
constexpr std::uint16_t kMakerNote = 0x927C;

constexpr std::int64_t kLargeValue = 64 * 1024;
constexpr int kMaxDirectories = 32;  // real files have five or six; more is a loop or a trap
constexpr int kMaxEntries = 4096;

std::uint32_t number(const std::uint8_t* p, int size, bool bigEndian) {
    std::uint32_t v = 0;
    for (int i = 0; i < size; ++i) v |= std::uint32_t{p[bigEndian ? size - 1 - i : i]} << (8 * i);
    return v;
}

// Bytes per value of each TIFF field type; unknown types count as bytes, as exiv2 reads them.
std::int64_t typeSize(std::uint16_t type) {
    switch (type) {
        case 3:
        case 8:
            return 2;
        case 4:
        case 9:
        case 11:
        case 13:
            return 4;
        case 5:
        case 10:
        case 12:
            return 8;
        default:
            return 1;
    }
}

class Walker {
public:
    Walker(const PhotoFile& file, bool bigEndian) : file_(file), bigEndian_(bigEndian) {}

    // Every directory reachable from IFD0: the chain, and the EXIF, GPS and interoperability
    // directories hanging off it.
    void walk(std::int64_t ifd0) {
        std::vector<std::int64_t> pending{ifd0};
        while (!pending.empty() && std::ssize(visited_) < kMaxDirectories) {
            const std::int64_t at = pending.back();
            pending.pop_back();
            if (!visited_.insert(at).second) continue;
            directory(at, pending);
        }
    }

    TiffMetadata result() const { return {std::min(end_, kMaxTiffMetadata), makerNote_}; }

private:
    std::uint32_t get(const std::uint8_t* p, int size) const { return number(p, size, bigEndian_); }

    void reach(std::int64_t end) { end_ = std::max(end_, end); }

    void directory(std::int64_t at, std::vector<std::int64_t>& pending) {
        std::array<std::uint8_t, 2> head{};
        if (file_.readAt(at, head.data(), head.size()) != head.size()) return;
        const int count = std::min<int>(static_cast<int>(get(head.data(), 2)), kMaxEntries);
        std::vector<std::uint8_t> entries(static_cast<std::size_t>(count) * 12 + 4);
        const std::size_t got = file_.readAt(at + 2, entries.data(), entries.size());
        reach(at + 2 + static_cast<std::int64_t>(got));
        for (int i = 0; (i + 1) * 12 <= static_cast<int>(got) && i < count; ++i) {
            entry(at + 2 + 12 * i, entries.data() + 12 * i, pending);
        }
        if (got == entries.size()) {
            const std::int64_t next = get(entries.data() + 12 * count, 4);
            if (next > 0 && next < file_.size()) pending.push_back(next);
        }
    }

    void entry(std::int64_t at, const std::uint8_t* e, std::vector<std::int64_t>& pending) {
        const auto tag = static_cast<std::uint16_t>(get(e, 2));
        const std::int64_t bytes = typeSize(static_cast<std::uint16_t>(get(e + 2, 2))) * get(e + 4, 4);
        const std::int64_t value = get(e + 8, 4);
        if (tag == kExifPointer || tag == kGpsPointer || tag == kInteropPointer) {
            if (value > 0 && value < file_.size()) pending.push_back(value);
        }
        if (tag == kMakerNote) {
            makerNote_ = at;
            return;
        }
        // A value that runs off the end of the file is one exiv2 drops too.
        if (bytes > 4 && bytes <= kLargeValue && value + bytes <= file_.size()) reach(value + bytes);
    }

    const PhotoFile& file_;
    const bool bigEndian_;
    std::set<std::int64_t> visited_;
    std::int64_t end_ = 8;
    std::optional<std::int64_t> makerNote_;
};

}  // namespace

std::optional<TiffMetadata> locateTiffMetadata(const PhotoFile& file) {
    std::array<std::uint8_t, 8> header{};
    if (file.readAt(0, header.data(), header.size()) != header.size()) return std::nullopt;
    const bool little = header[0] == 'I' && header[1] == 'I' && header[2] == 42 && header[3] == 0;
    const bool big = header[0] == 'M' && header[1] == 'M' && header[2] == 0 && header[3] == 42;
    if (!little && !big) return std::nullopt;
    const std::int64_t ifd0 = number(header.data() + 4, 4, big);
    if (ifd0 < 8 || ifd0 >= file.size()) return std::nullopt;
    Walker walker(file, big);
    walker.walk(ifd0);
    return walker.result();
}

}  // namespace quillory::imageio
