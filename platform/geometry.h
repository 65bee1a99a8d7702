#pragma once

#include <cmath>
#include <string>

namespace quillory::platform {

// Global geometry of the program: y grows upward, origin at the first screen's bottom-left.
struct Point {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0.0;
    double height = 0.0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;

    double midX() const { return x + 0.5 * width; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    Size size() const { return {width, height}; }
    bool isZero() const { return x == 0.0 && y == 0.0 && width == 0.0 && height == 0.0; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The program's rounding: through single precision, halves away from zero, back to double.
inline double roundf(double value) {
    return static_cast<double>(std::roundf(static_cast<float>(value)));
}

// `r` moved in by `dx` and `dy` on both sides of each axis.
inline Rect insetRect(const Rect& r, double dx, double dy) {
    return {r.x + dx, r.y + dy, r.width - 2.0 * dx, r.height - 2.0 * dy};
}

// The value a fraction `t` of the way from `from` to `to` (animation steps).
inline double interpolate(double from, double to, double t) {
    return from + (to - from) * t;
}
inline Rect interpolate(const Rect& from, const Rect& to, double t) {
    return {interpolate(from.x, to.x, t), interpolate(from.y, to.y, t), interpolate(from.width, to.width, t),
            interpolate(from.height, to.height, t)};
}

// "{{x, y}, {width, height}}", shortest form of each number.
std::string stringFromRect(const Rect& r);

}  // namespace quillory::platform
