#include "tests/corpus/reference.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exiv2/exiv2.hpp>
#include <fstream>
#include <numeric>
#include <sstream>

namespace quillory::reference {
namespace {

const char* const kTags[] = {"File:ImageWidth",      "File:ImageHeight",       "File:BitsPerSample",
                             "File:ColorComponents", "ExifIFD:ExifImageWidth", "ExifIFD:ExifImageHeight",
                             "IFD0:Model",           "IFD0:Orientation",       "ExifIFD:DateTimeOriginal",
                             "ExifIFD:ExposureTime", "ExifIFD:FNumber",        "ExifIFD:FocalLength",
                             "ExifIFD:ISO"};

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
    return ::pclose(pipe) == 0 ? out : std::string();
}

std::vector<std::string> split(const std::string& line, char by) {
    std::vector<std::string> parts;
    std::stringstream in(line);
    for (std::string part; std::getline(in, part, by);) parts.push_back(part);
    if (!line.empty() && line.back() == by) parts.emplace_back();
    return parts;
}

}  // namespace

std::optional<std::map<std::string, Tags>> exiftoolTags(const fs::path& folder) {
    if (run("exiftool -ver 2>/dev/null").empty()) return std::nullopt;
    std::string format = "$FileName";
    for (const char* tag : kTags) format += std::string("\t${") + tag + "}";
    const std::string output = run("exiftool -n -f -q -m -p " + shellQuoted(format) + " " +
                                   shellQuoted(folder.string()) + " 2>/dev/null");
    std::map<std::string, Tags> files;
    for (const std::string& line : split(output, '\n')) {
        const auto values = split(line, '\t');
        if (values.size() != std::size(kTags) + 1) continue;
        Tags& tags = files[values[0]];
        for (std::size_t i = 0; i < std::size(kTags); ++i) {
            const std::string name = std::string(kTags[i]).substr(std::string(kTags[i]).find(':') + 1);
            if (values[i + 1] != "-") tags[name] = values[i + 1];
        }
    }
    return files;
}

namespace {

bool hasAdobeSegment(const Bytes& jpeg) {
    const std::string marker = "\xFF\xEE";
    const std::string text(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(
                                                            std::min<std::size_t>(jpeg.size(), 1 << 16)));
    const auto at = text.find(marker);
    return at != std::string::npos && text.compare(at + 4, 5, "Adobe") == 0;
}

// CMYK as Photoshop stores it (inverted when the Adobe segment is there) turned into RGB.
Bitmap cmykToRgb(const Bytes& cmyk, int width, int height, bool inverted) {
    Bitmap rgb{width, height, Bytes(static_cast<std::size_t>(width) * height * 3)};
    for (std::size_t i = 0; i < rgb.rgb.size() / 3; ++i) {
        const auto ink = [&](int c) { return inverted ? cmyk[i * 4 + c] : 255 - cmyk[i * 4 + c]; };
        for (int c = 0; c < 3; ++c) rgb.rgb[i * 3 + c] = static_cast<unsigned char>(ink(c) * ink(3) / 255);
    }
    return rgb;
}

}  // namespace

std::optional<Bitmap> decodeWhole(const Bytes& jpeg) {
    tjhandle handle = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    std::optional<Bitmap> picture;
    if (tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &width, &height, &subsampling, &colorspace) ==
        0) {
        const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
        Bytes pixels(static_cast<std::size_t>(width) * height * (cmyk ? 4 : 3));
        if (tjDecompress2(handle, jpeg.data(), jpeg.size(), pixels.data(), width, 0, height,
                          cmyk ? TJPF_CMYK : TJPF_RGB, 0) == 0) {
            picture = cmyk ? cmykToRgb(pixels, width, height, hasAdobeSegment(jpeg))
                           : Bitmap{width, height, pixels};
        }
    }
    tjDestroy(handle);
    return picture;
}

std::optional<Bitmap> largestRawPreview(const fs::path& raw, int& orientation) {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    auto image = Exiv2::ImageFactory::open(raw.string());
    image->readMetadata();
    const auto tag = image->exifData().findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    orientation = tag == image->exifData().end() ? 1 : static_cast<int>(tag->toLong());
    Exiv2::PreviewManager previews(*image);
    std::optional<Bitmap> best;
    for (const auto& properties : previews.getPreviewProperties()) {
        if (properties.mimeType_ != "image/jpeg") continue;
        const Exiv2::PreviewImage preview = previews.getPreviewImage(properties);
        auto picture = decodeWhole(Bytes(preview.pData(), preview.pData() + preview.size()));
        if (picture && (!best || picture->width > best->width)) best = std::move(picture);
    }
    return best;
}

namespace {

Bitmap transposed(const Bitmap& in) {
    Bitmap out{in.height, in.width, Bytes(in.rgb.size())};
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) std::copy_n(in.pixel(y, x), 3, out.pixel(x, y));
    }
    return out;
}

Bitmap mirrored(const Bitmap& in, bool leftRight) {
    Bitmap out{in.width, in.height, Bytes(in.rgb.size())};
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            const int fromX = leftRight ? in.width - 1 - x : x;
            const int fromY = leftRight ? y : in.height - 1 - y;
            std::copy_n(in.pixel(fromX, fromY), 3, out.pixel(x, y));
        }
    }
    return out;
}

}  // namespace

Bitmap blockReduced(const Bitmap& picture, int maxSide) {
    const int factor = (std::max(picture.width, picture.height) + maxSide - 1) / maxSide;
    if (factor <= 1) return picture;
    const int w = picture.width / factor;
    const int h = picture.height / factor;
    Bitmap out{w, h, Bytes(static_cast<std::size_t>(w) * h * 3)};
    std::vector<unsigned> sums(static_cast<std::size_t>(w) * 3);
    for (int y = 0; y < h * factor; ++y) {
        const unsigned char* row = picture.pixel(0, y);
        for (int x = 0; x < w * factor * 3; ++x)
            sums[static_cast<std::size_t>(x / (factor * 3) * 3 + x % 3)] += row[x];
        if ((y + 1) % factor) continue;
        for (std::size_t i = 0; i < sums.size(); ++i) {
            out.rgb[static_cast<std::size_t>(y / factor) * sums.size() + i] =
                static_cast<unsigned char>(sums[i] / static_cast<unsigned>(factor * factor));
        }
        std::fill(sums.begin(), sums.end(), 0u);
    }
    return out;
}

Bitmap upright(const Bitmap& stored, int orientation) {
    const Bitmap base = orientation >= 5 && orientation <= 8 ? transposed(stored) : stored;
    switch (orientation) {
        case 2:
            return mirrored(base, true);
        case 3:
        case 7:
            return mirrored(mirrored(base, true), false);
        case 4:
            return mirrored(base, false);
        case 6:
            return mirrored(base, true);
        case 8:
            return mirrored(base, false);
        default:
            return base;  // 1, 5 and anything unknown
    }
}

Bitmap cropToAspect(const Bitmap& picture, int width, int height) {
    int w = picture.width;
    int h = picture.height;
    if (static_cast<long>(w) * height > static_cast<long>(h) * width) {
        w = std::max(1, static_cast<int>(std::lround(static_cast<double>(h) * width / height)));
    } else {
        h = std::max(1, static_cast<int>(std::lround(static_cast<double>(w) * height / width)));
    }
    const int left = (picture.width - w) / 2;
    const int top = (picture.height - h) / 2;
    Bitmap out{w, h, Bytes(static_cast<std::size_t>(w) * h * 3)};
    for (int y = 0; y < h; ++y)
        std::copy_n(picture.pixel(left, top + y), static_cast<std::size_t>(w) * 3, out.pixel(0, y));
    return out;
}

namespace {

// The mean brightness of each cell of an n x n grid laid over the picture.
std::vector<double> brightnessGrid(const Bitmap& picture, int n) {
    std::vector<double> sums(static_cast<std::size_t>(n) * n);
    std::vector<double> counts(sums.size());
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const auto cell = static_cast<std::size_t>((y * n / picture.height) * n + x * n / picture.width);
            const unsigned char* p = picture.pixel(x, y);
            sums[cell] += 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
            counts[cell] += 1;
        }
    }
    for (std::size_t i = 0; i < sums.size(); ++i) sums[i] /= std::max(1.0, counts[i]);
    return sums;
}

}  // namespace

double likeness(const Bitmap& a, const Bitmap& b, int n) {
    const auto ga = brightnessGrid(a, n);
    const auto gb = brightnessGrid(b, n);
    const double ma = std::accumulate(ga.begin(), ga.end(), 0.0) / static_cast<double>(ga.size());
    const double mb = std::accumulate(gb.begin(), gb.end(), 0.0) / static_cast<double>(gb.size());
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < ga.size(); ++i) {
        ab += (ga[i] - ma) * (gb[i] - mb);
        aa += (ga[i] - ma) * (ga[i] - ma);
        bb += (gb[i] - mb) * (gb[i] - mb);
    }
    const double flat = 1e-6 * static_cast<double>(ga.size());
    if (aa < flat && bb < flat) return 1.0;
    return ab / std::sqrt(std::max(aa * bb, 1e-12));
}

}  // namespace quillory::reference
