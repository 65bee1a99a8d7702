#include "platform/imageio/jpeg_markers.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace quillory::imageio {
namespace {

constexpr int kMaxSegments = 4096;         // a hostile file cannot keep the walk going for ever
constexpr std::int64_t kMaxResync = 4096;  // stray bytes tolerated between two segments

int be16(const std::uint8_t* p) {
    return (p[0] << 8) | p[1];
}

// Start-of-frame markers C0..CF, except DHT (C4), JPG (C8) and DAC (CC), which share the range.
bool isFrameMarker(int marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers that stand alone, without a length: TEM and the restart markers.
bool isStandalone(int marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

class MarkerWalker {
public:
    MarkerWalker(const PhotoFile& file, ByteRange stream)
        : file_(file), pos_(stream.offset), end_(stream.offset + stream.length) {}

    JpegHeaders walk();

private:
    bool nextMarker(int& marker);
    std::size_t readIn(std::int64_t at, std::uint8_t* into, std::size_t length) const;
    void readFrame(std::int64_t payload, std::int64_t length);
    void readApp1(std::int64_t payload, std::int64_t length);

    const PhotoFile& file_;
    std::int64_t pos_;
    std::int64_t end_;
    JpegHeaders found_;
};

JpegHeaders MarkerWalker::walk() {
    pos_ += 2;  // the start-of-image, checked by the caller
    int marker = 0;
    for (int segment = 0; segment < kMaxSegments && nextMarker(marker); ++segment) {
        if (marker == 0xD9 || marker == 0xDA) break;  // end of image, or the first scan
        if (isStandalone(marker)) continue;
        std::array<std::uint8_t, 2> size{};
        if (readIn(pos_, size.data(), 2) != 2) break;
        const int length = be16(size.data());
        if (length < 2) break;
        // A segment cut by the stream's end holds only what lies inside the stream.
        const std::int64_t payload = std::min<std::int64_t>(length - 2, end_ - (pos_ + 2));
        if (isFrameMarker(marker) && !found_.frame) readFrame(pos_ + 2, payload);
        if (marker == 0xE1 && !found_.exif) readApp1(pos_ + 2, payload);
        pos_ += length;
    }
    return found_;
}

// Finds the next marker at pos_, skipping fill bytes and a few stray bytes before it.
bool MarkerWalker::nextMarker(int& marker) {
    std::array<std::uint8_t, 512> chunk{};
    const std::int64_t limit = pos_ + kMaxResync;
    while (pos_ < end_ && pos_ < limit) {
        const std::size_t got = readIn(pos_, chunk.data(), chunk.size());
        if (got < 2) return false;
        for (std::size_t i = 0; i + 1 < got; ++i) {
            if (chunk[i] == 0xFF && chunk[i + 1] != 0xFF && chunk[i + 1] != 0x00) {
                marker = chunk[i + 1];
                pos_ += static_cast<std::int64_t>(i) + 2;
                return true;
            }
        }
        pos_ += static_cast<std::int64_t>(got) - 1;
    }
    return false;
}

// Up to `length` bytes from `at`, none past the stream's end: a stream inside a larger file (a
// raw file's preview or raw data) is followed by other bytes that may look like a segment.
std::size_t MarkerWalker::readIn(std::int64_t at, std::uint8_t* into, std::size_t length) const {
    if (at >= end_) return 0;
    return file_.readAt(at, into, std::min<std::size_t>(length, static_cast<std::size_t>(end_ - at)));
}

void MarkerWalker::readFrame(std::int64_t payload, std::int64_t length) {
    std::array<std::uint8_t, 6> sof{};
    if (length < 6 || readIn(payload, sof.data(), sof.size()) != sof.size()) return;
    found_.frame = JpegFrame{sof[0], be16(&sof[3]), be16(&sof[1]), sof[5]};
}

void MarkerWalker::readApp1(std::int64_t payload, std::int64_t length) {
    // "Exif\0" and one pad byte (normally \0, some writers put 0xFF there) come before the TIFF data.
    std::array<std::uint8_t, 6> id{};
    if (length <= 6 || readIn(payload, id.data(), id.size()) != id.size()) return;
    if (std::memcmp(id.data(), "Exif\0", 5) != 0) return;
    found_.exif = ByteRange{payload + 6, length - 6};
}

}  // namespace

std::optional<JpegHeaders> readJpegHeaders(const PhotoFile& file, ByteRange stream) {
    const ByteRange inside = file.clamp(stream);
    std::array<std::uint8_t, 3> start{};
    if (inside.length < 4 || file.readAt(inside.offset, start.data(), start.size()) != start.size()) {
        return std::nullopt;
    }
    if (start[0] != 0xFF || start[1] != 0xD8 || start[2] != 0xFF) return std::nullopt;
    return MarkerWalker(file, inside).walk();
}

}  // namespace quillory::imageio
