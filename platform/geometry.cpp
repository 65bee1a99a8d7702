#include "platform/geometry.h"

#include <charconv>

namespace quillory::platform {

namespace {

std::string number(double value) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("nan");
}

}  // namespace

std::string stringFromRect(const Rect& r) {
    return "{{" + number(r.x) + ", " + number(r.y) + "}, {" + number(r.width) + ", " + number(r.height) +
           "}}";
}

}  // namespace quillory::platform
