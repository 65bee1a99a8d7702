#pragma once

#include <cstdint>
#include <vector>

#include "inspection/image_service.h"

namespace quillory::imageio {

struct Size {
    int width = 0;
    int height = 0;
};

// `size` shrunk, aspect kept, so that neither side exceeds `maxSide`; never enlarged.
// A `maxSide` of 0 or less sets no limit.
Size fitWithin(Size size, int maxSide);

// The smallest DCT scaling M/8 (M = 1..8) whose result still covers fitWithin(size, maxSide),
// so that no JPEG is decoded larger than the preview needs.
int dctScaleEighths(Size size, int maxSide);

// Shrinks an RGB picture row by row with area averaging (each output pixel is the mean of the
// source area it covers), so that only the output and two rows are ever held in memory.
class AreaScaler {
public:
    // `to` must not be larger than `from` on either side, and neither may be empty.
    AreaScaler(Size from, Size to);

    // The next source row, top-down, `from.width` RGB pixels.
    void addRow(const std::uint8_t* rgb);
    // The shrunk picture; rows never reached (a source that ended early) stay black.
    Bitmap finish();

private:
    void addColumns(const std::uint8_t* rgb);
    void blend(float weight);
    void emitRow();

    Size from_;
    Size to_;
    std::vector<int> target_;     // per source column: the first output column it falls in
    std::vector<float> share_;    // per source column: its weight in that output column
    std::vector<float> spill_;    // per source column: its weight in the next output column
    std::vector<float> columns_;  // the current source row, shrunk horizontally
    std::vector<float> sum_;      // the output row being gathered
    std::int64_t sourceRow_ = 0;
    int outputRow_ = 0;
    Bitmap out_;
};

}  // namespace quillory::imageio
