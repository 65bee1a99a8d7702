#pragma once

#include <cstdint>
#include <cstdlib>

#include "inspection/image_service.h"

// The fixture photos of tests/data show four solid quadrants, red, green, blue and white from
// top left to bottom right when upright: a preview is checked by sampling their centres.
namespace quillory::support {

struct Rgb {
    int r = 0, g = 0, b = 0;
};
inline constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255}, kBlack{};

struct Quadrants {
    Rgb topLeft, topRight, bottomLeft, bottomRight;
};
inline constexpr Quadrants kUpright{kRed, kGreen, kBlue, kWhite};

inline Quadrants sampleQuadrants(const Bitmap& picture) {
    const auto at = [&](int x, int y) {
        const std::uint8_t* p = picture.pixel(x * picture.width / 4, y * picture.height / 4);
        return Rgb{p[0], p[1], p[2]};
    };
    return {at(1, 1), at(3, 1), at(1, 3), at(3, 3)};
}

inline bool looksLike(const Bitmap& picture, const Quadrants& expected = kUpright) {
    const Quadrants seen = sampleQuadrants(picture);
    const auto near = [](Rgb a, Rgb b) {
        return std::abs(a.r - b.r) <= 40 && std::abs(a.g - b.g) <= 40 && std::abs(a.b - b.b) <= 40;
    };
    return near(seen.topLeft, expected.topLeft) && near(seen.topRight, expected.topRight) &&
           near(seen.bottomLeft, expected.bottomLeft) && near(seen.bottomRight, expected.bottomRight);
}

}  // namespace quillory::support
