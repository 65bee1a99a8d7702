#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "platform/imageio/area_scaler.h"

namespace quillory::imageio {
namespace {

TEST(FitWithin, shrinksLongerSideToLimitAndNeverEnlarges) {
    const struct {
        Size size;
        int maxSide;
        Size expected;
    } cases[] = {{{4000, 3000}, 500, {500, 375}}, {{3000, 4000}, 500, {375, 500}},
                 {{120, 80}, 500, {120, 80}},     {{500, 500}, 500, {500, 500}},
                 {{1000, 1}, 500, {500, 1}},      {{1, 1000}, 500, {1, 500}},
                 {{1001, 1000}, 500, {500, 500}}, {{3, 2}, 0, {3, 2}}};
    for (const auto& c : cases) {
        const Size fitted = fitWithin(c.size, c.maxSide);
        EXPECT_EQ(std::pair(fitted.width, fitted.height), std::pair(c.expected.width, c.expected.height))
            << c.size.width << "x" << c.size.height << " within " << c.maxSide;
    }
}

TEST(DctScale, picksSmallestEighthThatStillCoversThePreview) {
    const std::pair<Size, int> cases[] = {{{4000, 3000}, 1}, {{4001, 3000}, 1}, {{3000, 2000}, 2},
                                          {{1600, 1200}, 4}, {{1000, 750}, 4},  {{600, 400}, 7},
                                          {{500, 300}, 8},   {{120, 80}, 8}};
    for (const auto& [size, eighths] : cases)
        EXPECT_EQ(dctScaleEighths(size, 500), eighths) << size.width << "x" << size.height;
}

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
        SCOPED_TRACE(::testing::Message()
                     << from.width << "x" << from.height << " to " << to.width << "x" << to.height);
        std::mt19937 random(static_cast<unsigned>(from.width * 7919 + from.height));
        Bitmap source{from.width, from.height,
                      std::vector<std::uint8_t>(std::size_t(from.width) * from.height * 3)};
        for (auto& sample : source.rgb) sample = static_cast<std::uint8_t>(random());
        AreaScaler scaler(from, to);
        for (int y = 0; y < from.height; ++y) scaler.addRow(source.pixel(0, y));
        const Bitmap shrunk = scaler.finish();
        ASSERT_EQ(shrunk.rgb.size(), std::size_t(to.width) * to.height * 3);
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
        EXPECT_LE(worst, 1);
    }
}

}  // namespace
}  // namespace quillory::imageio
