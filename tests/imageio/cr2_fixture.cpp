// A hand-laid CR2: the TIFF header with Canon's "CR" signature, IFD0 (large JPEG preview),
// the EXIF directory, IFD1 (thumbnail), IFD2 (RGB strip) and IFD3 (lossless JPEG raw strip).
// The pictures come last, the preview at the very end, so that cutting the file cuts it first.
#include <algorithm>
#include <map>

#include "tests/imageio/fixtures.h"

namespace quillory::fixtures {
namespace {

enum Type : std::uint16_t { kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kUndefined = 7 };

struct Entry {
    std::uint16_t tag;
    Type type;
    std::uint32_t count;
    Bytes value;    // little-endian
    int blob = -1;  // when >= 0: the value is the offset of that blob, known at the end
};

void put16(Bytes& out, std::uint32_t v) {
    out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
}
void put32(Bytes& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void set32(Bytes& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = std::uint8_t(v >> (8 * i));
}

Entry shorts(std::uint16_t tag, std::initializer_list<std::uint32_t> values) {
    Bytes v;
    for (auto value : values) put16(v, value);
    return {tag, kShort, static_cast<std::uint32_t>(values.size()), v};
}
Entry longValue(std::uint16_t tag, std::uint32_t value) {
    Bytes v;
    put32(v, value);
    return {tag, kLong, 1, v};
}
Entry ascii(std::uint16_t tag, const std::string& text) {
    Bytes v(text.begin(), text.end());
    v.push_back(0);
    return {tag, kAscii, static_cast<std::uint32_t>(v.size()), v};
}
Entry rational(std::uint16_t tag, std::uint32_t num, std::uint32_t den) {
    Bytes v;
    put32(v, num);
    put32(v, den);
    return {tag, kRational, 1, v};
}
Entry blobOffset(std::uint16_t tag, int blob) {
    return {tag, kLong, 1, Bytes(4), blob};
}

class TiffWriter {
public:
    TiffWriter() : out_{'I', 'I', 42, 0, 0, 0, 0, 0, 'C', 'R', 2, 0, 0, 0, 0, 0} {}

    int addBlob(Bytes blob) {
        blobs_.push_back(std::move(blob));
        return static_cast<int>(blobs_.size()) - 1;
    }
    std::uint32_t blobSize(int blob) const { return static_cast<std::uint32_t>(blobs_[blob].size()); }

    // Writes one directory, its long values right after it; returns where it starts.
    std::uint32_t directory(std::vector<Entry> entries) {
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
        const auto start = static_cast<std::uint32_t>(out_.size());
        std::uint32_t data = start + 2 + 12 * static_cast<std::uint32_t>(entries.size()) + 4;
        Bytes extra;
        put16(out_, static_cast<std::uint32_t>(entries.size()));
        for (const Entry& e : entries) {
            put16(out_, e.tag);
            put16(out_, e.type);
            put32(out_, e.count);
            if (e.blob >= 0) patches_[out_.size()] = e.blob;
            if (e.value.size() <= 4) {
                Bytes inline4 = e.value;
                inline4.resize(4);
                out_.insert(out_.end(), inline4.begin(), inline4.end());
            } else {
                put32(out_, data + static_cast<std::uint32_t>(extra.size()));
                extra.insert(extra.end(), e.value.begin(), e.value.end());
                if (extra.size() % 2) extra.push_back(0);
            }
        }
        nextAt_[start] = out_.size();
        put32(out_, 0);
        out_.insert(out_.end(), extra.begin(), extra.end());
        return start;
    }
    void chain(std::uint32_t from, std::uint32_t to) { set32(out_, nextAt_.at(from), to); }
    void header(std::uint32_t ifd0, std::uint32_t rawIfd) {
        set32(out_, 4, ifd0);
        set32(out_, 12, rawIfd);
    }

    Bytes finish() {
        std::vector<std::uint32_t> at;
        for (const Bytes& blob : blobs_) {
            at.push_back(static_cast<std::uint32_t>(out_.size()));
            out_.insert(out_.end(), blob.begin(), blob.end());
        }
        for (const auto& [where, blob] : patches_) set32(out_, where, at[blob]);
        return out_;
    }

private:
    Bytes out_;
    std::vector<Bytes> blobs_;
    std::map<std::size_t, int> patches_;
    std::map<std::uint32_t, std::size_t> nextAt_;
};

// The start of a lossless JPEG, enough for its frame header (SOF3) to be read.
Bytes losslessHeader(const Cr2Fields& f) {
    const auto length = static_cast<std::uint8_t>(8 + 3 * f.rawComponents);
    Bytes b{0xFF, 0xD8, 0xFF, 0xC3, 0, length, static_cast<std::uint8_t>(f.rawPrecision)};
    b.insert(b.end(),
             {std::uint8_t(f.rawHeight >> 8), std::uint8_t(f.rawHeight), std::uint8_t(f.rawWidth >> 8),
              std::uint8_t(f.rawWidth), static_cast<std::uint8_t>(f.rawComponents)});
    for (int c = 1; c <= f.rawComponents; ++c) b.insert(b.end(), {std::uint8_t(c), 0x11, 0});
    b.insert(b.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0xFF, 0xD9});
    return b;
}

std::vector<Entry> exifEntries(const Cr2Fields& f) {
    std::vector<Entry> e{rational(0x829A, 1, 60), rational(0x829D, 56, 10), shorts(0x8827, {800}),
                         ascii(0x9003, "2016:01:02 03:04:05"), rational(0x920A, 35, 1)};
    if (f.pixelWidth) e.push_back(shorts(0xA002, {static_cast<std::uint32_t>(*f.pixelWidth)}));
    if (f.pixelHeight) e.push_back(shorts(0xA003, {static_cast<std::uint32_t>(*f.pixelHeight)}));
    if (!f.makerNote.empty())
        e.push_back({0x927C, kUndefined, static_cast<std::uint32_t>(f.makerNote.size()), f.makerNote});
    return e;
}

std::vector<Entry> rgbEntries(const Bitmap& strip, int blob) {
    const auto w = static_cast<std::uint32_t>(strip.width);
    const auto h = static_cast<std::uint32_t>(strip.height);
    return {shorts(0x100, {w}), shorts(0x101, {h}), shorts(0x102, {8, 8, 8}),
            shorts(0x103, {6}), shorts(0x106, {2}), blobOffset(0x111, blob),
            shorts(0x115, {3}), shorts(0x116, {h}), longValue(0x117, w * h * 3),
            shorts(0x11C, {1})};
}

}  // namespace

Bytes buildCr2(const Cr2Fields& f) {
    TiffWriter tiff;
    const int raw = tiff.addBlob(losslessHeader(f));
    const int rgb = f.rgbStrip ? tiff.addBlob(f.rgbStrip->rgb) : -1;
    const int thumbnail = f.thumbnail.empty() ? -1 : tiff.addBlob(f.thumbnail);
    const int preview = f.preview.empty() ? -1 : tiff.addBlob(f.preview);

    const std::uint32_t exif = tiff.directory(exifEntries(f));
    std::vector<Entry> ifd0{shorts(0x103, {6}), ascii(0x10F, "Canon"), ascii(0x110, f.model),
                            shorts(0x112, {static_cast<std::uint32_t>(f.orientation)}),
                            longValue(0x8769, exif)};
    if (preview >= 0)
        ifd0.insert(ifd0.end(), {blobOffset(0x111, preview), longValue(0x117, tiff.blobSize(preview))});
    const std::uint32_t ifd0At = tiff.directory(ifd0);
    std::vector<Entry> ifd1{shorts(0x103, {6})};
    if (thumbnail >= 0)
        ifd1.insert(ifd1.end(), {blobOffset(0x201, thumbnail), longValue(0x202, tiff.blobSize(thumbnail))});
    const std::uint32_t ifd1At = tiff.directory(ifd1);
    const std::uint32_t ifd2At =
        tiff.directory(f.rgbStrip ? rgbEntries(*f.rgbStrip, rgb) : std::vector{shorts(0x103, {6})});
    const std::uint32_t ifd3At =
        tiff.directory({shorts(0x103, {6}), blobOffset(0x111, raw), longValue(0x117, tiff.blobSize(raw))});
    tiff.chain(ifd0At, ifd1At);
    tiff.chain(ifd1At, ifd2At);
    tiff.chain(ifd2At, ifd3At);
    tiff.header(ifd0At, ifd3At);
    Bytes bytes = tiff.finish();
    if (f.cutPreviewInHalf) bytes.resize(bytes.size() - f.preview.size() / 2);
    return bytes;
}

}  // namespace quillory::fixtures
