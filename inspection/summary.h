#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "inspection/properties.h"

namespace quillory {

// The multi-line summary the panel shows for one photo. Pure: depends on nothing but
// its three inputs. Absent container properties count as a file size of 0.
std::string composeSummary(std::string_view path, const std::optional<ContainerProperties>& container,
                           const std::optional<ImageProperties>& image);

// A number in plain decimal, never with an exponent, the shortest text that reads back as
// the same value (640, 8, 2.8, 100000, 0.0001); "(null)" when absent.
std::string formatNumber(const std::optional<double>& value);

// The exposure piece without its trailing "s ": "1/250", "1/1.3", "2", "1.3", "(null)".
std::string formatExposure(const std::optional<double>& seconds);

// Text from a file (or a file name) made safe to show: control characters (C0, DEL, C1) and
// bytes that are not valid UTF-8 become U+FFFD, so a value cannot break lines, move the
// cursor or retitle a terminal.
std::string cleanText(std::string_view text);

}  // namespace quillory
