#include <gtest/gtest.h>

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
        {{4000, 3000}, 1}, {{4001, 3000}, 1}, {{3000, 2000}, 2}, {{1600, 1200}, 3},
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

TEST(AreaScaler, keepsUniformPictureUniformAtOddRatios) {
    const std::vector<std::vector<int>> rows(13, std::vector<int>(997, 77));
    for (int value : shrink(rows, {500, 7})) ASSERT_EQ(value, 77);
}

}  // namespace
}  // namespace quillory::imageio
