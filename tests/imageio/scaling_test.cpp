#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "platform/imageio/area_scaler.h"

namespace quillory::imageio {
namespace {

// How much of source cell `x` (of `from`) output cell `j` (of `to`) covers, as a share of `j`.
double overlap(int j, int x, int from, int to) {
    const double start = double(j) * from;
    return std::max(0.0, std::min(start + from, double(x + 1) * to) - std::max(start, double(x) * to)) / from;
}

// Every channel of every pixel of random noise within one level of the exact area average
// (in doubles), at the ratios a preview meets (a 4/8 or 3/8 decode down to 500 px), at ratios
// that gather many columns, and at the edges: one side kept, one pixel, a last column or row
// that is barely covered.
TEST(AreaScaler, matchesExactAreaAverageChannelByChannel) {
    const std::pair<Size, Size> cases[] = {
        {{864, 24}, {500, 14}}, {{648, 17}, {500, 13}}, {{501, 3}, {500, 2}},  {{7, 5}, {7, 5}},
        {{3, 3}, {2, 2}},       {{1000, 4}, {90, 1}},   {{2048, 9}, {500, 2}}, {{5, 40}, {1, 9}},
        {{500, 7}, {500, 3}},   {{9, 2}, {4, 2}},       {{1, 1}, {1, 1}},      {{17, 1}, {16, 1}},
        {{1, 17}, {1, 16}},     {{513, 5}, {500, 5}}};
    for (const auto& [from, to] : cases) {
        std::mt19937 random(static_cast<unsigned>(from.width * 7919 + from.height));
        Bitmap source{from.width, from.height,
                      std::vector<std::uint8_t>(std::size_t(from.width) * from.height * 3)};
        for (auto& sample : source.rgb) sample = static_cast<std::uint8_t>(random());
        AreaScaler scaler(from, to);
        for (int y = 0; y < from.height; ++y) scaler.addRow(source.pixel(0, y));
        const Bitmap shrunk = scaler.finish();
        ASSERT_EQ(shrunk.rgb.size(), std::size_t(to.width) * to.height * 3) << to.width << "x" << to.height;
        int worst = 0;
        for (int i = 0; i < to.height; ++i) {
            for (int j = 0; j < to.width; ++j) {
                double exact[3] = {0, 0, 0};
                for (int y = 0; y < from.height; ++y) {
                    const double wy = overlap(i, y, from.height, to.height);
                    for (int x = 0; wy > 0 && x < from.width; ++x) {
                        const double w = wy * overlap(j, x, from.width, to.width);
                        for (int c = 0; w > 0 && c < 3; ++c) exact[c] += w * source.pixel(x, y)[c];
                    }
                }
                for (int c = 0; c < 3; ++c)
                    worst = std::max(worst, std::abs(shrunk.pixel(j, i)[c] - int(std::lround(exact[c]))));
            }
        }
        EXPECT_LE(worst, 1) << from.width << "x" << from.height << " to " << to.width << "x" << to.height;
    }
}

}  // namespace
}  // namespace quillory::imageio
