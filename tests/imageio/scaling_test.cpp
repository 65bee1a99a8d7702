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
    } cases[] = {
        {{4000, 3000}, 500, {500, 375}}, {{3000, 4000}, 500, {375, 500}},
        {{120, 80}, 500, {120, 80}},     {{500, 500}, 500, {500, 500}},
        {{1000, 1}, 500, {500, 1}},      {{1, 1000}, 500, {1, 500}},
        {{1001, 1000}, 500, {500, 500}}, {{3, 2}, 0, {3, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size.width << "x" << c.size.height << " within " << c.maxSide);
        const Size fitted = fitWithin(c.size, c.maxSide);
        EXPECT_EQ(fitted.width, c.expected.width);
        EXPECT_EQ(fitted.height, c.expected.height);
    }
}

TEST(DctScale, picksSmallestEighthThatStillCoversThePreview) {
    const struct {
        Size size;
        int expected;
    } cases[] = {
        {{4000, 3000}, 1}, {{4001, 3000}, 1}, {{3000, 2000}, 2}, {{1600, 1200}, 4},
        {{1000, 750}, 4},  {{600, 400}, 7},   {{500, 300}, 8},   {{120, 80}, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size.width << "x" << c.size.height);
        EXPECT_EQ(dctScaleEighths(c.size, 500), c.expected);
    }
}

// Runs `rows` (grey levels, one value per pixel) through the scaler; returns the red channel.
std::vector<int> shrink(const std::vector<std::vector<int>>& rows, Size to) {
    const Size from{static_cast<int>(rows.front().size()), static_cast<int>(rows.size())};
    AreaScaler scaler(from, to);
    for (const auto& row : rows) {
        std::vector<std::uint8_t> rgb;
        for (int v : row) rgb.insert(rgb.end(), 3, static_cast<std::uint8_t>(v));
        scaler.addRow(rgb.data());
    }
    const Bitmap out = scaler.finish();
    std::vector<int> red;
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) red.push_back(out.pixel(x, y)[0]);
    }
    return red;
}

TEST(AreaScaler, averagesTheSourceAreaEachPixelCovers) {
    const struct {
        const char* name;
        std::vector<std::vector<int>> rows;
        Size to;
        std::vector<int> expected;
    } cases[] = {
        {"same size keeps pixels", {{10, 20}, {30, 40}}, {2, 2}, {10, 20, 30, 40}},
        {"2x2 blocks", {{0, 100, 200, 250}, {100, 200, 0, 50}}, {2, 1}, {100, 125}},
        {"three columns into two", {{0, 90, 180}}, {2, 1}, {30, 150}},
        {"three rows into two", {{0}, {90}, {180}}, {1, 2}, {30, 150}},
        {"all into one", {{0, 255}, {255, 0}}, {1, 1}, {128}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(shrink(c.rows, c.to), c.expected);
    }
}

Bitmap noise(Size size) {
    std::mt19937 random(static_cast<unsigned>(size.width * 7919 + size.height));
    Bitmap picture{size.width, size.height,
                   std::vector<std::uint8_t>(std::size_t(size.width) * size.height * 3)};
    for (auto& sample : picture.rgb) sample = static_cast<std::uint8_t>(random());
    return picture;
}

// How much of source cell `x` (of `from`) output cell `j` (of `to`) covers, as a share of `j`.
double overlap(int j, int x, int from, int to) {
    const double start = double(j) * from;
    const double end = start + from;
    return std::max(0.0, std::min(end, double(x + 1) * to) - std::max(start, double(x) * to)) / from;
}

// The exact area average, in doubles: what the fixed-point scaler approximates.
Bitmap referenceShrink(const Bitmap& from, Size to) {
    Bitmap out{to.width, to.height, std::vector<std::uint8_t>(std::size_t(to.width) * to.height * 3)};
    for (int i = 0; i < to.height; ++i) {
        for (int j = 0; j < to.width; ++j) {
            double sum[3] = {0, 0, 0};
            for (int y = 0; y < from.height; ++y) {
                const double wy = overlap(i, y, from.height, to.height);
                for (int x = 0; wy > 0 && x < from.width; ++x) {
                    const double w = wy * overlap(j, x, from.width, to.width);
                    for (int c = 0; w > 0 && c < 3; ++c) sum[c] += w * from.pixel(x, y)[c];
                }
            }
            for (int c = 0; c < 3; ++c) out.pixel(j, i)[c] = static_cast<std::uint8_t>(std::lround(sum[c]));
        }
    }
    return out;
}

// Every channel of every pixel within one level of the exact average, at the ratios a preview
// meets (a 4/8 or 3/8 decode down to 500 px) and at ratios that gather many columns.
TEST(AreaScaler, matchesExactAreaAverageChannelByChannel) {
    const struct {
        Size from;
        Size to;
    } cases[] = {
        {{864, 24}, {500, 14}},
        {{648, 17}, {500, 13}},
        {{501, 3}, {500, 2}},
        {{7, 5}, {7, 5}},
        {{3, 3}, {2, 2}},
        {{1000, 4}, {90, 1}},
        {{2048, 9}, {500, 2}},
        {{5, 40}, {1, 9}},
        // Edges: one side kept, one pixel, a last column or row that is barely covered.
        {{500, 7}, {500, 3}},
        {{9, 2}, {4, 2}},
        {{1, 1}, {1, 1}},
        {{17, 1}, {16, 1}},
        {{1, 17}, {1, 16}},
        {{513, 5}, {500, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.from.width << "x" << c.from.height << " to " << c.to.width << "x" << c.to.height);
        const Bitmap source = noise(c.from);
        AreaScaler scaler(c.from, c.to);
        for (int y = 0; y < c.from.height; ++y) scaler.addRow(source.pixel(0, y));
        const Bitmap shrunk = scaler.finish();
        const Bitmap expected = referenceShrink(source, c.to);
        ASSERT_EQ(shrunk.rgb.size(), expected.rgb.size());
        int worst = 0;
        for (std::size_t i = 0; i < shrunk.rgb.size(); ++i)
            worst = std::max(worst, std::abs(shrunk.rgb[i] - expected.rgb[i]));
        EXPECT_LE(worst, 1);
    }
}

TEST(AreaScaler, keepsUniformPictureUniformAtOddRatios) {
    const std::vector<std::vector<int>> rows(13, std::vector<int>(997, 77));
    for (int value : shrink(rows, {500, 7})) ASSERT_EQ(value, 77);
}

}  // namespace
}  // namespace quillory::imageio
