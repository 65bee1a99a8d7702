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

// Source column x covers [x * to, (x + 1) * to) and output column j covers [j * from, (j + 1) * from)
// on a common integer grid, so the weights are exact and every output column's weights sum to 1.
AreaScaler::AreaScaler(Size from, Size to)
    : from_(from),
      to_(to),
      target_(static_cast<std::size_t>(from.width)),
      share_(target_.size()),
      spill_(target_.size()),
      columns_(static_cast<std::size_t>(to.width) * 3),
      sum_(columns_.size()),
      out_{to.width, to.height,
           std::vector<std::uint8_t>(static_cast<std::size_t>(to.width) * to.height * 3)} {
    const std::int64_t fromW = from.width;
    const std::int64_t toW = to.width;
    for (std::int64_t x = 0; x < fromW; ++x) {
        const std::int64_t j = x * toW / fromW;
        const std::int64_t inside = std::min((x + 1) * toW, (j + 1) * fromW) - x * toW;
        const auto i = static_cast<std::size_t>(x);
        target_[i] = static_cast<int>(j);
        share_[i] = static_cast<float>(inside) / static_cast<float>(fromW);
        spill_[i] = static_cast<float>(toW - inside) / static_cast<float>(fromW);
    }
}

void AreaScaler::addColumns(const std::uint8_t* rgb) {
    std::fill(columns_.begin(), columns_.end(), 0.0f);
    const std::size_t last = static_cast<std::size_t>(to_.width) - 1;
    for (std::size_t x = 0; x < target_.size(); ++x) {
        const auto j = static_cast<std::size_t>(target_[x]);
        for (std::size_t c = 0; c < 3; ++c) {
            const float value = rgb[x * 3 + c];
            columns_[j * 3 + c] += share_[x] * value;
            if (j < last) columns_[(j + 1) * 3 + c] += spill_[x] * value;
        }
    }
}

void AreaScaler::blend(float weight) {
    for (std::size_t i = 0; i < sum_.size(); ++i) sum_[i] += weight * columns_[i];
}

void AreaScaler::emitRow() {
    if (outputRow_ >= to_.height) return;
    std::uint8_t* row = out_.pixel(0, outputRow_);
    for (std::size_t i = 0; i < sum_.size(); ++i) {
        row[i] = static_cast<std::uint8_t>(std::clamp(std::lround(sum_[i]), 0L, 255L));
    }
    std::fill(sum_.begin(), sum_.end(), 0.0f);
    ++outputRow_;
}

// Source row y covers [y * to, (y + 1) * to), output row j covers [j * from, (j + 1) * from):
// a source row lies in one output row or straddles the border of two.
void AreaScaler::addRow(const std::uint8_t* rgb) {
    if (sourceRow_ >= from_.height) return;
    addColumns(rgb);
    const std::int64_t top = sourceRow_ * to_.height;
    const std::int64_t bottom = top + to_.height;
    const std::int64_t border = static_cast<std::int64_t>(outputRow_ + 1) * from_.height;
    const auto fromH = static_cast<float>(from_.height);
    if (bottom <= border) {
        blend(static_cast<float>(to_.height) / fromH);
        if (bottom == border) emitRow();
    } else {
        blend(static_cast<float>(border - top) / fromH);
        emitRow();
        blend(static_cast<float>(bottom - border) / fromH);
    }
    ++sourceRow_;
}

Bitmap AreaScaler::finish() {
    if (sourceRow_ > 0 && sourceRow_ < from_.height) emitRow();  // the part gathered so far
    return std::move(out_);
}

}  // namespace quillory::imageio
