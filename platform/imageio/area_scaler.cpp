#include "platform/imageio/area_scaler.h"

#include <algorithm>
#include <cmath>

namespace quillory::imageio {

Size fitWithin(Size size, int maxSide) {
    const int longer = std::max(size.width, size.height);
    if (maxSide <= 0 || longer <= maxSide) return size;
    const auto shrink = [&](int side) {
        const std::int64_t scaled = (static_cast<std::int64_t>(side) * maxSide + longer / 2) / longer;
        return static_cast<int>(std::clamp<std::int64_t>(scaled, 1, maxSide));
    };
    return {shrink(size.width), shrink(size.height)};
}

int dctScaleEighths(Size size, int maxSide) {
    const Size wanted = fitWithin(size, maxSide);
    const std::int64_t longer = std::max(size.width, size.height);
    const std::int64_t need = std::max(wanted.width, wanted.height);
    for (int eighths = 1; eighths < 8; ++eighths) {
        if ((longer * eighths + 7) / 8 >= need) return eighths;
    }
    return 8;
}

namespace {

constexpr std::int64_t kRowUnit = 256;       // vertical weights: 255 * 256 still fits 16 bits
constexpr std::int64_t kColumnUnit = 32768;  // horizontal: 255 * 256 * 32768 still fits 32 bits
constexpr int kShift = 8 + 15;

// Exact overlaps (adding up to `whole`) as fixed-point weights adding up to exactly `unit`:
// each rounded, the rounding left over given to the largest.
template <typename Slot>
void quantize(std::vector<std::pair<Slot*, std::int64_t>>& parts, std::int64_t whole, std::int64_t unit) {
    std::int64_t given = 0;
    std::pair<Slot*, std::int64_t>* largest = &parts.front();
    for (auto& part : parts) {
        *part.first = static_cast<Slot>((part.second * unit + whole / 2) / whole);
        given += *part.first;
        if (part.second > largest->second) largest = &part;
    }
    *largest->first = static_cast<Slot>(*largest->first + (unit - given));
    parts.clear();
}

}  // namespace

// On a common integer grid, source column x covers [x * to, (x + 1) * to) and output column j
// covers [j * from, (j + 1) * from); rows likewise. A pixel's share is the overlap.
AreaScaler::AreaScaler(Size from, Size to)
    : from_(from),
      to_(to),
      rows_(static_cast<std::size_t>(from.height)),
      sums_(static_cast<std::size_t>(from.width) * 3),
      out_{to.width, to.height,
           std::vector<std::uint8_t>(static_cast<std::size_t>(to.width) * to.height * 3)} {
    planColumns();
    planRows();
}

// Every span gathers the same number of columns (zero weights fill the shorter ones), so the
// inner loop has a fixed length and no mispredicted exits: that loop is most of the work.
void AreaScaler::planColumns() {
    const std::int64_t fromW = from_.width;
    const std::int64_t toW = to_.width;
    const int count = static_cast<int>((fromW + toW - 1) / toW) + 1;
    spanLength_ = static_cast<int>(std::min<std::int64_t>(count, fromW));
    weights_.assign(static_cast<std::size_t>(toW * spanLength_), 0);
    std::vector<std::pair<std::uint32_t*, std::int64_t>> parts;
    for (std::int64_t j = 0; j < toW; ++j) {
        const std::int64_t start = j * fromW;
        const std::int64_t end = start + fromW;
        const std::int64_t first = start / toW;
        const std::int64_t last = (end - 1) / toW;
        const std::int64_t shifted = std::min(first, fromW - spanLength_);  // stays inside the row
        spanStart_.push_back(static_cast<int>(shifted));
        for (std::int64_t x = first; x <= last; ++x) {
            const auto slot = static_cast<std::size_t>(j * spanLength_ + (x - shifted));
            parts.emplace_back(&weights_[slot], std::min(end, (x + 1) * toW) - std::max(start, x * toW));
        }
        quantize(parts, fromW, kColumnUnit);
    }
}

void AreaScaler::planRows() {
    const std::int64_t fromH = from_.height;
    const std::int64_t toH = to_.height;
    std::vector<std::pair<std::uint16_t*, std::int64_t>> parts;  // the output row being planned
    for (std::int64_t y = 0; y < fromH; ++y) {
        RowShare& share = rows_[static_cast<std::size_t>(y)];
        const std::int64_t top = y * toH;
        const std::int64_t bottom = top + toH;
        const std::int64_t border = (top / fromH + 1) * fromH;
        parts.emplace_back(&share.current, std::min(bottom, border) - top);
        if (bottom < border) continue;
        share.endsRow = true;
        quantize(parts, fromH, kRowUnit);
        if (bottom > border) parts.emplace_back(&share.next, bottom - border);
    }
    if (!parts.empty()) quantize(parts, fromH, kRowUnit);  // unreachable with exact sizes
}

void AreaScaler::accumulate(const std::uint8_t* rgb, std::uint16_t weight) {
    std::uint16_t* sums = sums_.data();
    const std::size_t n = sums_.size();
    for (std::size_t i = 0; i < n; ++i) sums[i] = static_cast<std::uint16_t>(sums[i] + weight * rgb[i]);
}

template <int kLength>
void AreaScaler::gatherColumns(std::uint8_t* out) const {
    const int length = kLength > 0 ? kLength : spanLength_;
    const std::uint16_t* sums = sums_.data();
    const std::uint32_t* w = weights_.data();
    constexpr std::uint32_t kHalf = 1u << (kShift - 1);
    for (const int start : spanStart_) {
        const std::uint16_t* p = sums + static_cast<std::ptrdiff_t>(start) * 3;
        std::uint32_t r = kHalf, g = kHalf, b = kHalf;
        for (int k = 0; k < length; ++k, p += 3) {
            r += w[k] * p[0];
            g += w[k] * p[1];
            b += w[k] * p[2];
        }
        w += length;
        out[0] = static_cast<std::uint8_t>(r >> kShift);
        out[1] = static_cast<std::uint8_t>(g >> kShift);
        out[2] = static_cast<std::uint8_t>(b >> kShift);
        out += 3;
    }
}

void AreaScaler::emitRow() {
    if (outputRow_ >= to_.height) return;
    std::uint8_t* out = out_.pixel(0, outputRow_);
    // A decode at the right DCT scale leaves less than twice the size: two or three columns.
    switch (spanLength_) {
        case 1:
            gatherColumns<1>(out);
            break;
        case 2:
            gatherColumns<2>(out);
            break;
        case 3:
            gatherColumns<3>(out);
            break;
        case 4:
            gatherColumns<4>(out);
            break;
        default:
            gatherColumns<0>(out);
            break;
    }
    std::fill(sums_.begin(), sums_.end(), std::uint16_t{0});
    ++outputRow_;
}

void AreaScaler::addRow(const std::uint8_t* rgb) {
    if (sourceRow_ >= from_.height) return;
    const RowShare& share = rows_[static_cast<std::size_t>(sourceRow_)];
    accumulate(rgb, share.current);
    if (share.endsRow) emitRow();
    if (share.next > 0) accumulate(rgb, share.next);
    ++sourceRow_;
}

Bitmap AreaScaler::finish() {
    if (sourceRow_ > 0 && sourceRow_ < from_.height) emitRow();  // the part gathered so far
    return std::move(out_);
}

}  // namespace quillory::imageio
