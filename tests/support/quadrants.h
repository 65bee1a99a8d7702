#pragma once

#include <cstdint>
#include <cstdlib>

#include "inspection/image_service.h"

// The fixture photos of tests/data show four solid quadrants, red, green, blue and white from
// top left to bottom right when upright: a preview is checked by sampling their centres.
namespace quillory::support {

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kGreen{0, 255, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};

struct Quadrants {
    Rgb topLeft, topRight, bottomLeft, bottomRight;
};
inline constexpr Quadrants kUpright{kRed, kGreen, kBlue, kWhite};

inline Quadrants sampleQuadrants(const Bitmap& picture) {
    const auto at = [&](int x, int y) {
        const std::uint8_t* p = picture.pixel(x, y);
        return Rgb{p[0], p[1], p[2]};
    };
    const int w = picture.width;
    const int h = picture.height;
    return {at(w / 4, h / 4), at(w * 3 / 4, h / 4), at(w / 4, h * 3 / 4), at(w * 3 / 4, h * 3 / 4)};
}

inline bool near(Rgb a, Rgb b) {
    return std::abs(a.r - b.r) <= 40 && std::abs(a.g - b.g) <= 40 && std::abs(a.b - b.b) <= 40;
}

inline bool looksLike(const Bitmap& picture, const Quadrants& expected = kUpright) {
    const Quadrants seen = sampleQuadrants(picture);
    return near(seen.topLeft, expected.topLeft) && near(seen.topRight, expected.topRight) &&
           near(seen.bottomLeft, expected.bottomLeft) && near(seen.bottomRight, expected.bottomRight);
}

}  // namespace quillory::support
