#include "tests/imageio/fixtures.h"

#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <fstream>
#include <stdexcept>

namespace quillory::fixtures {

Bitmap quadrantPicture(int width, int height, const Quadrants& quadrants) {
    Bitmap picture{width, height, Bytes(static_cast<std::size_t>(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool left = x < width / 2;
            const bool top = y < height / 2;
            const Rgb c = top ? (left ? quadrants.topLeft : quadrants.topRight)
                              : (left ? quadrants.bottomLeft : quadrants.bottomRight);
            std::uint8_t* p = picture.pixel(x, y);
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    }
    return picture;
}

Quadrants sampleQuadrants(const Bitmap& picture) {
    const auto at = [&](int x, int y) {
        const std::uint8_t* p = picture.pixel(x, y);
        return Rgb{p[0], p[1], p[2]};
    };
    const int w = picture.width;
    const int h = picture.height;
    return {at(w / 4, h / 4), at(w * 3 / 4, h / 4), at(w / 4, h * 3 / 4), at(w * 3 / 4, h * 3 / 4)};
}

bool near(Rgb a, Rgb b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

namespace {

Bytes pixelsFor(const Bitmap& picture, Colours colours) {
    if (colours == Colours::kRgb) return picture.rgb;
    const std::size_t count = picture.rgb.size() / 3;
    Bytes out;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = &picture.rgb[i * 3];
        if (colours == Colours::kGray) {
            out.push_back(p[1]);
        } else {  // Adobe-inverted CMYK without black: C' = R, M' = G, Y' = B, K' = 255
            out.insert(out.end(), {p[0], p[1], p[2], 255});
        }
    }
    return out;
}

}  // namespace

Bytes encodeJpeg(const Bitmap& picture, Colours colours, bool progressive) {
    const Bytes pixels = pixelsFor(picture, colours);
    const int format = colours == Colours::kRgb    ? TJPF_RGB
                       : colours == Colours::kGray ? TJPF_GRAY
                                                   : TJPF_CMYK;
    const int subsampling = colours == Colours::kGray ? TJSAMP_GRAY : TJSAMP_444;
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int flags = progressive ? TJFLAG_PROGRESSIVE : 0;
    const int failed = tjCompress2(handle, pixels.data(), picture.width, 0, picture.height, format, &jpeg,
                                   &size, subsampling, 95, flags);
    Bytes bytes(jpeg, jpeg + (failed ? 0 : size));
    tjFree(jpeg);
    tjDestroy(handle);
    if (bytes.empty()) throw std::runtime_error("the fixture JPEG could not be encoded");
    return bytes;
}

namespace {

void putRational(Exiv2::ExifData& exif, const char* key,
                 const std::pair<std::uint32_t, std::uint32_t>& value) {
    exif[key] = Exiv2::URational(value.first, value.second);
}

Exiv2::ExifData exifFor(const ExifFields& fields) {
    Exiv2::ExifData exif;
    if (fields.orientation) exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(*fields.orientation);
    if (fields.model) exif["Exif.Image.Model"] = *fields.model;
    if (fields.dateTimeOriginal) exif["Exif.Photo.DateTimeOriginal"] = *fields.dateTimeOriginal;
    if (fields.exposureTime) putRational(exif, "Exif.Photo.ExposureTime", *fields.exposureTime);
    if (fields.fNumber) putRational(exif, "Exif.Photo.FNumber", *fields.fNumber);
    if (fields.focalLength) putRational(exif, "Exif.Photo.FocalLength", *fields.focalLength);
    if (!fields.iso.empty()) {
        Exiv2::UShortValue iso;
        iso.value_.assign(fields.iso.begin(), fields.iso.end());
        exif["Exif.Photo.ISOSpeedRatings"].setValue(&iso);
    }
    if (!fields.thumbnail.empty()) {
        Exiv2::ExifThumb(exif).setJpegThumbnail(fields.thumbnail.data(),
                                                static_cast<long>(fields.thumbnail.size()));
    }
    return exif;
}

// The offset of the first frame header's marker, found by walking the segments.
std::size_t frameMarkerAt(const Bytes& jpeg) {
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF) {
        const int marker = jpeg[pos + 1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return pos;
        pos += 2 + static_cast<std::size_t>((jpeg[pos + 2] << 8) | jpeg[pos + 3]);
    }
    throw std::runtime_error("the fixture JPEG has no frame header");
}

}  // namespace

Bytes withExif(const Bytes& jpeg, const ExifFields& fields) {
    Exiv2::Blob tiff;
    Exiv2::ExifParser::encode(tiff, Exiv2::littleEndian, exifFor(fields));
    const std::size_t length = tiff.size() + 8;  // the length field, "Exif\0\0" and the TIFF data
    Bytes out{
        0xFF, 0xD8, 0xFF, 0xE1, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
    out.insert(out.end(), {'E', 'x', 'i', 'f', 0, 0});
    out.insert(out.end(), tiff.begin(), tiff.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

Bytes withFrame(Bytes jpeg, int width, int height, std::optional<int> precision) {
    const std::size_t at = frameMarkerAt(jpeg);
    if (precision) jpeg[at + 4] = static_cast<std::uint8_t>(*precision);
    jpeg[at + 5] = static_cast<std::uint8_t>(height >> 8);
    jpeg[at + 6] = static_cast<std::uint8_t>(height);
    jpeg[at + 7] = static_cast<std::uint8_t>(width >> 8);
    jpeg[at + 8] = static_cast<std::uint8_t>(width);
    return jpeg;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillory-imageio-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const Bytes& bytes) const {
    const std::filesystem::path file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file.string();
}

}  // namespace quillory::fixtures
