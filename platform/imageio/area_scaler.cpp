#include "platform/imageio/area_scaler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__) && !defined(QUILLORY_PORTABLE_SCALER)
#include <emmintrin.h>
#define QUILLORY_SSE2_SCALER 1
#endif

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
        // libjpeg-turbo's 4/8 inverse DCT is vectorised and its 3/8 one is not: 4/8 decodes
        // faster, and gives the area scaler more detail to average.
        if ((longer * eighths + 7) / 8 >= need) return eighths == 3 ? 4 : eighths;
    }
    return 8;
}

namespace {

// Row sums fit 16 bits unsigned (255 * 256), column weights 15 bits signed, and a column's
// weighted sum of row sums 31 bits: what the SIMD multiply-add takes.
constexpr std::int64_t kRowUnit = 256;
constexpr std::int64_t kColumnUnit = 16384;
constexpr int kShift = 8 + 14;
constexpr std::uint32_t kHalf = 1u << (kShift - 1);

// The SIMD multiply-add is signed: there the row sums start at -2^15 (wrapping), so that
// they read as signed 16-bit values.
#if defined(QUILLORY_SSE2_SCALER)
constexpr std::uint16_t kSumsStart = 0x8000;
#else
constexpr std::uint16_t kSumsStart = 0;
#endif

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
      // Past the row: the last span's loads may read one pixel beyond it, at weight 0.
      sums_(static_cast<std::size_t>(from.width) * 3 + kSumsPadding, kSumsStart),
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
    // Weights go in pairs, for the SIMD gather: an odd span gets a last weight of 0.
    weightStride_ = (spanLength_ + 1) / 2 * 2;
    weights_.assign(static_cast<std::size_t>(toW * weightStride_), 0);
    std::vector<std::pair<std::int16_t*, std::int64_t>> parts;
    for (std::int64_t j = 0; j < toW; ++j) {
        const std::int64_t start = j * fromW;
        const std::int64_t end = start + fromW;
        const std::int64_t first = start / toW;
        const std::int64_t last = (end - 1) / toW;
        const std::int64_t shifted = std::min(first, fromW - spanLength_);  // stays inside the row
        spanStart_.push_back(static_cast<int>(shifted));
        for (std::int64_t x = first; x <= last; ++x) {
            const auto slot = static_cast<std::size_t>(j * weightStride_ + (x - shifted));
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
    const std::size_t n = static_cast<std::size_t>(from_.width) * 3;
    for (std::size_t i = 0; i < n; ++i) sums[i] = static_cast<std::uint16_t>(sums[i] + weight * rgb[i]);
}

#if defined(QUILLORY_SSE2_SCALER)

// Two source pixels a step: their sums interleaved (R0 R1 G0 G1 B0 B1 ..) meet the pair's
// weights in one multiply-add, which leaves R, G and B side by side in 32-bit lanes.
template <int kPairs>
void AreaScaler::gatherColumns(std::uint8_t* out) const {
    const int pairs = kPairs > 0 ? kPairs : weightStride_ / 2;
    const std::uint16_t* sums = sums_.data();
    const std::int16_t* w = weights_.data();
    // The sums are 2^15 short; each column's weights add up to kColumnUnit, so 2^15 times
    // that, put in at the start, restores the true total.
    const __m128i start = _mm_set1_epi32(static_cast<int>(kHalf + (1u << 15) * kColumnUnit));
    const int last = to_.width - 1;
    for (int j = 0; j <= last; ++j) {
        const std::uint16_t* p =
            sums + static_cast<std::ptrdiff_t>(spanStart_[static_cast<std::size_t>(j)]) * 3;
        __m128i acc = start;
        for (int q = 0; q < pairs; ++q, p += 6, w += 2) {
            const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
            const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 3));
            std::int32_t both = 0;
            std::memcpy(&both, w, sizeof both);
            // w0 w1 in every lane; the fourth lane's result is never stored.
            const __m128i weights = _mm_shuffle_epi32(_mm_cvtsi32_si128(both), 0);
            acc = _mm_add_epi32(acc, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), weights));
        }
        const __m128i words = _mm_packs_epi32(_mm_srli_epi32(acc, kShift), _mm_setzero_si128());
        const auto rgb = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
        // Four bytes where the next pixel follows anyway; the row's last gets exactly three.
        std::memcpy(out + 3 * j, &rgb, j < last ? 4 : 3);
    }
}

#else

template <int kPairs>  // steers the SIMD kernel only
void AreaScaler::gatherColumns(std::uint8_t* out) const {
    const int length = spanLength_;
    const std::uint16_t* sums = sums_.data();
    const std::int16_t* w = weights_.data();
    for (const int start : spanStart_) {
        const std::uint16_t* p = sums + static_cast<std::ptrdiff_t>(start) * 3;
        std::uint32_t r = kHalf, g = kHalf, b = kHalf;
        for (int k = 0; k < length; ++k, p += 3) {
            const auto weight = static_cast<std::uint32_t>(w[k]);
            r += weight * p[0];
            g += weight * p[1];
            b += weight * p[2];
        }
        w += weightStride_;
        out[0] = static_cast<std::uint8_t>(r >> kShift);
        out[1] = static_cast<std::uint8_t>(g >> kShift);
        out[2] = static_cast<std::uint8_t>(b >> kShift);
        out += 3;
    }
}

#endif

void AreaScaler::emitRow() {
    if (outputRow_ >= to_.height) return;
    std::uint8_t* out = out_.pixel(0, outputRow_);
    // A decode at the right DCT scale leaves less than twice the size: two to four columns.
    switch ((spanLength_ + 1) / 2) {
        case 1:
            gatherColumns<1>(out);
            break;
        case 2:
            gatherColumns<2>(out);
            break;
        default:
            gatherColumns<0>(out);
            break;
    }
    std::fill(sums_.begin(), sums_.end(), kSumsStart);
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
