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
// source area it covers), so that only the output and one row of sums are ever held in memory.
// The weights are fixed-point: exact to 1/256 of a pixel's share vertically and 1/16384
// horizontally, always adding up to one, so a uniform picture stays exactly uniform.
class AreaScaler {
public:
    // `to` must not be larger than `from` on either side, and neither may be empty.
    AreaScaler(Size from, Size to);

    // The next source row, top-down, `from.width` RGB pixels.
    void addRow(const std::uint8_t* rgb);
    // The shrunk picture; rows never reached (a source that ended early) stay black.
    Bitmap finish();

private:
    static constexpr std::size_t kSumsPadding = 4;

    // How a source row splits between the output row its top lies in and the next one.
    struct RowShare {
        std::uint16_t current = 0;
        std::uint16_t next = 0;
        bool endsRow = false;  // the current output row is complete after this source row
    };

    void planColumns();
    void planRows();
    void accumulate(const std::uint8_t* rgb, std::uint16_t weight);
    template <int kPairs>  // columns per span, halved and rounded up; 0: any
    void gatherColumns(std::uint8_t* out) const;
    void emitRow();

    Size from_;
    Size to_;
    int spanLength_ = 0;                 // source columns each output column gathers
    std::vector<int> spanStart_;         // per output column: its first source column
    int weightStride_ = 0;               // spanLength_ rounded up to even
    std::vector<std::int16_t> weights_;  // weightStride_ per output column, adding up to 2^14
    std::vector<RowShare> rows_;         // per source row, each output row's adding up to 2^8
    std::vector<std::uint16_t> sums_;    // per source sample: the weighted sum of the rows gathered
    std::int64_t sourceRow_ = 0;
    int outputRow_ = 0;
    Bitmap out_;
};

}  // namespace quillory::imageio
