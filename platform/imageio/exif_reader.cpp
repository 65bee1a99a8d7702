#include "platform/imageio/exif_reader.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <string>

#include "platform/imageio/tiff_directories.h"

namespace quillory::imageio {
namespace {

// exiv2 prints its warnings on stderr by default; the panel has no use for them.
void muteExiv2() {
    static const bool muted = [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        return true;
    }();
    (void)muted;
}

const Exiv2::Exifdatum* find(const Exiv2::ExifData& data, const char* key) {
    const auto it = data.findKey(Exiv2::ExifKey(key));
    if (it == data.end() || it->count() == 0) return nullptr;
    return &*it;
}

bool isInteger(Exiv2::TypeId type) {
    return type == Exiv2::unsignedByte || type == Exiv2::unsignedShort || type == Exiv2::unsignedLong ||
           type == Exiv2::signedShort || type == Exiv2::signedLong;
}

std::optional<std::int64_t> integer(const Exiv2::ExifData& data, const char* key) {
    const Exiv2::Exifdatum* datum = find(data, key);
    if (!datum || !isInteger(datum->typeId())) return std::nullopt;
    return static_cast<std::int64_t>(datum->toLong(0));
}

// A rational read exactly: exiv2's own toRational squeezes unsigned values into signed ones.
std::optional<double> number(const Exiv2::ExifData& data, const char* key) {
    const Exiv2::Exifdatum* datum = find(data, key);
    if (!datum) return std::nullopt;
    if (const auto* u = dynamic_cast<const Exiv2::URationalValue*>(&datum->value())) {
        const Exiv2::URational r = u->value_.front();
        if (r.second == 0) return std::nullopt;
        return static_cast<double>(r.first) / r.second;
    }
    if (datum->typeId() == Exiv2::signedRational) {
        const Exiv2::Rational r = datum->toRational(0);
        if (r.second == 0) return std::nullopt;
        return static_cast<double>(r.first) / r.second;
    }
    if (isInteger(datum->typeId())) return static_cast<double>(datum->toLong(0));
    return std::nullopt;
}

// Text as exiftool shows it: cut at the first NUL; `trim` also drops trailing blanks.
std::optional<std::string> text(const Exiv2::ExifData& data, const char* key, bool trim) {
    const Exiv2::Exifdatum* datum = find(data, key);
    if (!datum || datum->typeId() != Exiv2::asciiString) return std::nullopt;
    std::string value = datum->toString();
    value.resize(value.find('\0') == std::string::npos ? value.size() : value.find('\0'));
    if (trim) value.erase(value.find_last_not_of(" \t\r\n") + 1);
    return value;
}

std::optional<std::vector<std::int64_t>> integers(const Exiv2::ExifData& data, const char* key) {
    const auto it = data.findKey(Exiv2::ExifKey(key));
    if (it == data.end() || !isInteger(it->typeId())) return std::nullopt;
    std::vector<std::int64_t> values;
    for (long i = 0; i < it->count(); ++i) values.push_back(static_cast<std::int64_t>(it->toLong(i)));
    return values;
}

bool hasGroup(const Exiv2::ExifData& data, const char* group) {
    for (const auto& datum : data) {
        if (datum.groupName() == group) return true;
    }
    return false;
}

std::optional<ByteRange> range(const Exiv2::ExifData& data, const char* offsetKey, const char* lengthKey) {
    const auto offset = integer(data, offsetKey);
    const auto length = integer(data, lengthKey);
    if (!offset || !length || *offset <= 0 || *length <= 0) return std::nullopt;
    return ByteRange{*offset, *length};
}

std::optional<RgbStrip> rgbStrip(const Exiv2::ExifData& data) {
    const auto bytes = range(data, "Exif.Image2.StripOffsets", "Exif.Image2.StripByteCounts");
    const auto width = integer(data, "Exif.Image2.ImageWidth");
    const auto height = integer(data, "Exif.Image2.ImageLength");
    const auto samples = integer(data, "Exif.Image2.SamplesPerPixel");
    const auto bits = integer(data, "Exif.Image2.BitsPerSample");  // the first of three
    if (!bytes || !width || !height || samples != 3 || bits != 8) return std::nullopt;
    if (*width <= 0 || *height <= 0 || *width > 65535 || *height > 65535) return std::nullopt;
    if (bytes->length < *width * *height * 3) return std::nullopt;  // a placeholder, not a picture
    return RgbStrip{*bytes, static_cast<int>(*width), static_cast<int>(*height)};
}

ExifProperties exifProperties(const Exiv2::ExifData& data) {
    ExifProperties exif;
    exif.dateTimeOriginal = text(data, "Exif.Photo.DateTimeOriginal", false);
    exif.exposureTime = number(data, "Exif.Photo.ExposureTime");
    exif.fNumber = number(data, "Exif.Photo.FNumber");
    exif.focalLength = number(data, "Exif.Photo.FocalLength");
    exif.isoSpeedRatings = integers(data, "Exif.Photo.ISOSpeedRatings");
    return exif;
}

ExifSummary summarize(const Exiv2::ExifData& data) {
    ExifSummary summary;
    if (hasGroup(data, "Photo")) summary.exif = exifProperties(data);
    if (hasGroup(data, "Image")) summary.tiff = TiffProperties{text(data, "Exif.Image.Model", true)};
    const auto orientation = integer(data, "Exif.Image.Orientation");
    if (orientation && *orientation >= 1 && *orientation <= 8)
        summary.orientation = static_cast<int>(*orientation);
    if (const auto x = integer(data, "Exif.Photo.PixelXDimension"))
        summary.pixelXDimension = static_cast<double>(*x);
    if (const auto y = integer(data, "Exif.Photo.PixelYDimension"))
        summary.pixelYDimension = static_cast<double>(*y);
    return summary;
}

RawLayout rawLayout(const Exiv2::ExifData& data) {
    RawLayout layout;
    layout.ifd0Jpeg = range(data, "Exif.Image.StripOffsets", "Exif.Image.StripByteCounts");
    layout.thumbnailJpeg =
        range(data, "Exif.Thumbnail.JPEGInterchangeFormat", "Exif.Thumbnail.JPEGInterchangeFormatLength");
    layout.ifd2Rgb = rgbStrip(data);
    layout.rawStrip = range(data, "Exif.Image3.StripOffsets", "Exif.Image3.StripByteCounts");
    return layout;
}

// Parsing Canon's maker note is most of exiv2's work on a raw file, and nothing the summary
// shows comes from it: the entry becomes an empty tag of no meaning. Tag 0xFFFF and count 0
// read the same in either byte order.
void hideMakerNote(std::vector<std::uint8_t>& front, std::int64_t entry) {
    if (entry < 0 || entry + 8 > std::ssize(front)) return;
    const auto at = static_cast<std::size_t>(entry);
    std::fill_n(front.begin() + static_cast<std::ptrdiff_t>(at), 2, std::uint8_t{0xFF});
    std::fill_n(front.begin() + static_cast<std::ptrdiff_t>(at) + 4, 4, std::uint8_t{0});
}

// exiv2's parse of a TIFF structure, summarised, with what `more` adds from the same tags.
template <typename More>
std::optional<ExifSummary> parseTiff(const std::vector<std::uint8_t>& tiff, const More& more) {
    muteExiv2();
    try {
        Exiv2::ExifData data;
        const auto size = static_cast<std::uint32_t>(tiff.size());
        if (Exiv2::ExifParser::decode(data, tiff.data(), size) == Exiv2::invalidByteOrder)
            return std::nullopt;
        ExifSummary summary = summarize(data);
        more(data, summary);
        return summary;
    } catch (...) {  // exiv2 throws its own errors, std ones and bad_alloc on hostile sizes
        return std::nullopt;
    }
}

}  // namespace

std::optional<ExifSummary> ExifReader::fromApp1(const std::vector<std::uint8_t>& tiff) {
    return parseTiff(tiff, [](const Exiv2::ExifData& data, ExifSummary& summary) {
        const Exiv2::DataBuf thumbnail = Exiv2::ExifThumbC(data).copy();
        if (thumbnail.pData_ && thumbnail.size_ > 0) {
            summary.thumbnailJpeg.assign(thumbnail.pData_, thumbnail.pData_ + thumbnail.size_);
        }
    });
}

std::optional<ExifSummary> ExifReader::fromRawFile(const PhotoFile& file) {
    const auto metadata = locateTiffMetadata(file);
    if (!metadata) return std::nullopt;
    // Only the front of the file, read once: a file cut short meanwhile stays a short read.
    std::vector<std::uint8_t> front = file.read({0, metadata->length});
    if (metadata->makerNoteEntry) hideMakerNote(front, *metadata->makerNoteEntry);
    return parseTiff(
        front, [](const Exiv2::ExifData& data, ExifSummary& summary) { summary.raw = rawLayout(data); });
}

}  // namespace quillory::imageio
