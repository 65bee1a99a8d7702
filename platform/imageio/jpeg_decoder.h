#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "inspection/image_service.h"
#include "platform/imageio/photo_file.h"
#include "platform/imageio/work_limit.h"

namespace quillory::imageio {

// Where a compressed JPEG stream lives: a stretch of an open file, or bytes in memory.
struct JpegStream {
    int fd = -1;
    ByteRange range;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;

    static JpegStream inFile(int fd, ByteRange range) { return {fd, range, nullptr, 0}; }
    static JpegStream inMemory(const std::uint8_t* data, std::size_t size) { return {-1, {}, data, size}; }
};

// What a damaged stream that still decodes in part is worth: the main image of a file is
// shown as far as it goes, an embedded preview is better replaced by the next one.
enum class Truncation { kAccept, kReject };

// Frames claiming more pixels than this are hostile or beyond a preview: no decode is tried.
inline constexpr std::int64_t kMaxFramePixels = 200'000'000;
// What libjpeg may hold at once (a progressive JPEG keeps all its coefficients).
inline constexpr long kMaxDecoderMemory = 512L * 1024 * 1024;

// What libjpeg may hold for a stream of `bytes` (see jpeg_decoder.cpp); at most kMaxDecoderMemory.
long decoderMemoryFor(std::int64_t bytes);

// The picture of `stream` as RGB, shrunk to fitWithin(frame, maxSide): decoded at the smallest
// DCT scale that covers that size, then area-averaged row by row. Grayscale comes out grey,
// CMYK and YCCK (Adobe inverted or plain) as RGB. None when libjpeg cannot decode the stream
// (not a JPEG, 12-bit or lossless, broken beyond repair), the frame is too large, the stream
// holds far more bytes than its picture can need, or `limit` is reached.
std::optional<Bitmap> decodeJpeg(const JpegStream& stream, int maxSide, Truncation truncation,
                                 WorkLimit& limit);

}  // namespace quillory::imageio
