// The one place that knows libjpeg: its errors end here as "no picture".
#include "platform/imageio/jpeg_decoder.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <cstdlib>
#include <memory>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/imageio/area_scaler.h"

namespace quillory::imageio {

// What libjpeg may hold for a stream of `bytes`. Only a progressive or multi-scan stream needs
// much: all its coefficients, 128 bytes a block. A whole stream codes every block in at least
// one bit, so it never needs more than 1024 bytes of them per byte; a stream that claims more
// is cut short or crafted (a few bytes claiming a 20000 x 9000 frame would cost 350 MB).
// 1 MiB more for libjpeg's tables.
long decoderMemoryFor(std::int64_t bytes) {
    constexpr std::int64_t kCoefficientsPerByte = 1024;
    constexpr std::int64_t kTables = 1024 * 1024;
    // Compared before multiplying: a sparse file may be larger than 2^53 bytes.
    if (bytes >= (kMaxDecoderMemory - kTables) / kCoefficientsPerByte) return kMaxDecoderMemory;
    return static_cast<long>(std::max<std::int64_t>(bytes, 0) * kCoefficientsPerByte + kTables);
}

namespace {

constexpr std::size_t kRowsPerRead = 16;

// libjpeg-turbo's SIMD colour conversion writes a row that starts on a 16- or 32-byte boundary
// with non-temporal stores, which skip the cache the scaler reads the row from straight after:
// that cost 0.7 ms of a 5 ms decode. Every row starts 8 bytes past a cache line instead.
constexpr std::size_t kRowAlignment = 64;
constexpr std::size_t kRowSkew = 8;

constexpr std::size_t kChunk = 64 * 1024;

// The most one coded coefficient can take: a 16-bit Huffman code and 11 bits of value, each byte
// of them possibly followed by a stuffed zero (54 bits), and a restart marker per block.
constexpr std::int64_t kBytesPerCoefficient = 7;
// The segments in front of the first scan (EXIF, colour profiles, XMP) and between two scans
// (tables, restart interval).
constexpr std::int64_t kHeaderBytes = 32 << 20;
constexpr std::int64_t kBetweenScansBytes = 1 << 20;

// libjpeg reports a fatal error by calling error_exit, which must not return: it jumps back to
// the setjmp of the step that was running. Warnings are counted, and never printed.
struct ErrorTrap {
    jpeg_error_mgr mgr;  // first, so that libjpeg's pointer to it is a pointer to the trap
    std::jmp_buf jump;
    bool truncated;
};

[[noreturn]] void jumpOut(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorTrap*>(cinfo->err)->jump, 1);
}

void noteMessage(j_common_ptr cinfo, int level) {
    auto* trap = reinterpret_cast<ErrorTrap*>(cinfo->err);
    if (level >= 0) return;
    ++trap->mgr.num_warnings;
    const int code = trap->mgr.msg_code;
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER) trap->truncated = true;
}

void printNothing(j_common_ptr) {}

// Every scan of a progressive stream makes libjpeg visit each block of the picture again, and a
// stream may hold any number of them: 30,000 scans of a few bytes over a 4096 x 4096 picture
// (a 1 MB file) keep it busy for over a minute. Encoders write about ten; more than this many
// is an error, like any other.
constexpr int kMaxScans = 100;

// The decode's check points: libjpeg calls checkProgress between scans and between row bands,
// the file source every 64 KiB it reads.
struct Progress {
    jpeg_progress_mgr mgr;  // first, as above
    WorkLimit* limit;
};

// Ends the decode with libjpeg's error jump, from inside any libjpeg call.
[[noreturn]] void abandon(j_common_ptr cinfo) {
    ERREXIT(cinfo, JERR_BAD_PROGRESSION);
    std::abort();  // error_exit never returns
}

void checkProgress(j_common_ptr cinfo) {
    if (reinterpret_cast<Progress*>(cinfo->progress)->limit->reached()) abandon(cinfo);
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        abandon(cinfo);
}

// Feeds libjpeg from the file with pread, 64 KiB at a time, so the file is never loaded whole.
// libjpeg looks for the next marker byte by byte, however far away it is: a photo cut after a
// scan and padded to 20 GB with holes would keep it reading for a minute. So the bytes from
// one scan's start to the next are bounded by what that scan can hold, and the ones in front
// of the first scan by what headers hold; past either, the decode ends.
struct FileSource {
    jpeg_source_mgr mgr;  // first, as above
    int fd;
    std::int64_t next;
    std::int64_t end;
    std::int64_t limit;  // no byte from here on is read
    int scan;            // the scan `limit` was set for
    JOCTET buffer[kChunk];
};

// The most that the scan being read and the segments after it can take up.
std::int64_t scanBytes(j_decompress_ptr cinfo) {
    std::int64_t blocks = 0;
    for (int i = 0; i < cinfo->comps_in_scan; ++i) {
        const jpeg_component_info* component = cinfo->cur_comp_info[i];
        // +3: an interleaved scan pads each component to whole MCUs.
        blocks +=
            (static_cast<std::int64_t>(component->width_in_blocks) + 3) * (component->height_in_blocks + 3);
    }
    const int coefficients =
        cinfo->progressive_mode ? std::clamp(cinfo->Se - cinfo->Ss + 1, 1, DCTSIZE2) : DCTSIZE2;
    return blocks * coefficients * kBytesPerCoefficient + kBetweenScansBytes;
}

void startSource(j_decompress_ptr) {}
void endSource(j_decompress_ptr) {}

boolean fillSource(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<FileSource*>(cinfo->src);
    if (cinfo->input_scan_number != src->scan) {
        src->scan = cinfo->input_scan_number;
        src->limit = src->next + scanBytes(cinfo);
    }
    if (src->next >= src->limit) abandon(reinterpret_cast<j_common_ptr>(cinfo));
    checkProgress(reinterpret_cast<j_common_ptr>(cinfo));
    ssize_t got = 0;
    if (src->next < src->end) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(kChunk, src->end - src->next));
        do {
            got = ::pread(src->fd, src->buffer, want, static_cast<off_t>(src->next));
        } while (got < 0 && errno == EINTR);
    }
    if (got <= 0) {
        // As libjpeg's own sources do: a short stream ends in a made-up end-of-image marker,
        // so what was read can still be shown.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        got = 2;
    } else {
        src->next += got;
    }
    src->mgr.next_input_byte = src->buffer;
    src->mgr.bytes_in_buffer = static_cast<std::size_t>(got);
    return TRUE;
}

void skipSource(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<FileSource*>(cinfo->src);
    if (count <= 0) return;
    const auto skip = static_cast<std::size_t>(count);
    if (skip <= src->mgr.bytes_in_buffer) {
        src->mgr.next_input_byte += skip;
        src->mgr.bytes_in_buffer -= skip;
        return;
    }
    src->next += static_cast<std::int64_t>(skip - src->mgr.bytes_in_buffer);
    src->mgr.bytes_in_buffer = 0;
}

// One decompression, from header to last row. Each libjpeg call runs inside guarded(), whose
// setjmp catches the error jump; the frames it skips hold nothing that needs destroying.
class Decompressor {
public:
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    ~Decompressor() {
        if (created_) jpeg_destroy_decompress(&cinfo_);
    }

    explicit Decompressor(WorkLimit& limit) : progress_{{checkProgress, 0, 0, 0, 0}, &limit} {}

    bool open(const JpegStream& stream);
    bool start(int maxSide);
    std::optional<Bitmap> readRows(int maxSide, Truncation truncation);

private:
    template <typename Step>
    bool guarded(const Step& step) {
        if (setjmp(trap_.jump) != 0) return false;
        step();
        return true;
    }
    bool pickColours();
    void toRgb(const JSAMPLE* cmyk, std::uint8_t* rgb) const;

    jpeg_decompress_struct cinfo_{};
    ErrorTrap trap_{};
    Progress progress_;
    std::unique_ptr<FileSource> file_;
    std::int64_t streamBytes_ = 0;
    bool created_ = false;
    bool cmyk_ = false;
    bool invertedCmyk_ = false;
};

bool Decompressor::open(const JpegStream& stream) {
    cinfo_.err = jpeg_std_error(&trap_.mgr);
    trap_.mgr.error_exit = jumpOut;
    trap_.mgr.emit_message = noteMessage;
    trap_.mgr.output_message = printNothing;
    if (!guarded([&] { jpeg_create_decompress(&cinfo_); })) return false;
    created_ = true;
    cinfo_.progress = &progress_.mgr;
    streamBytes_ = stream.data ? static_cast<std::int64_t>(stream.size) : stream.range.length;
    if (stream.data) {
        jpeg_mem_src(&cinfo_, stream.data, static_cast<unsigned long>(stream.size));
    } else {
        file_ = std::make_unique<FileSource>();
        file_->mgr = {nullptr, 0, startSource, fillSource, skipSource, jpeg_resync_to_restart, endSource};
        file_->fd = stream.fd;
        file_->next = stream.range.offset;
        file_->end = stream.range.offset + stream.range.length;
        file_->limit = stream.range.offset + kHeaderBytes;
        file_->scan = 0;
        cinfo_.src = &file_->mgr;
    }
    int header = 0;
    return guarded([&] { header = jpeg_read_header(&cinfo_, TRUE); }) && header == JPEG_HEADER_OK;
}

bool Decompressor::pickColours() {
    switch (cinfo_.jpeg_color_space) {
        case JCS_CMYK:
        case JCS_YCCK:
            cinfo_.out_color_space = JCS_CMYK;
            cmyk_ = true;
            // Photoshop writes CMYK inverted and marks its files with an Adobe segment.
            invertedCmyk_ = cinfo_.saw_Adobe_marker != 0;
            return true;
        case JCS_GRAYSCALE:
        case JCS_YCbCr:
        case JCS_RGB:
            cinfo_.out_color_space = JCS_RGB;  // libjpeg-turbo expands grey to RGB itself
            return true;
        default:
            return false;
    }
}

bool Decompressor::start(int maxSide) {
    const Size frame{static_cast<int>(cinfo_.image_width), static_cast<int>(cinfo_.image_height)};
    if (frame.width <= 0 || frame.height <= 0) return false;
    if (static_cast<std::int64_t>(frame.width) * frame.height > kMaxFramePixels) return false;
    if (!pickColours()) return false;
    cinfo_.scale_num = static_cast<unsigned int>(dctScaleEighths(frame, maxSide));
    cinfo_.scale_denom = 8;
    cinfo_.dct_method = JDCT_ISLOW;
    // The picture is shrunk further after decoding, which hides plain chroma upsampling.
    cinfo_.do_fancy_upsampling = FALSE;
    cinfo_.mem->max_memory_to_use = decoderMemoryFor(streamBytes_);
    return guarded([&] { jpeg_start_decompress(&cinfo_); });
}

void Decompressor::toRgb(const JSAMPLE* cmyk, std::uint8_t* rgb) const {
    for (JDIMENSION x = 0; x < cinfo_.output_width; ++x, cmyk += 4, rgb += 3) {
        const int k = invertedCmyk_ ? cmyk[3] : 255 - cmyk[3];
        for (int c = 0; c < 3; ++c) {
            const int ink = invertedCmyk_ ? cmyk[c] : 255 - cmyk[c];
            rgb[c] = static_cast<std::uint8_t>((ink * k + 127) / 255);
        }
    }
}

std::optional<Bitmap> Decompressor::readRows(int maxSide, Truncation truncation) {
    const Size decoded{static_cast<int>(cinfo_.output_width), static_cast<int>(cinfo_.output_height)};
    const Size wanted =
        fitWithin({static_cast<int>(cinfo_.image_width), static_cast<int>(cinfo_.image_height)}, maxSide);
    AreaScaler scaler(decoded,
                      {std::min(wanted.width, decoded.width), std::min(wanted.height, decoded.height)});
    // Several rows a call: libjpeg's merged upsampler makes two at a time and would
    // otherwise copy every other row through a spare buffer.
    const std::size_t stride =
        static_cast<std::size_t>(decoded.width) * static_cast<std::size_t>(cinfo_.output_components);
    const std::size_t pitch = (stride + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
    std::vector<JSAMPLE> rows(pitch * kRowsPerRead + kRowAlignment + kRowSkew);
    const auto address = reinterpret_cast<std::uintptr_t>(rows.data());
    JSAMPLE* first = rows.data() + (kRowAlignment - address % kRowAlignment) % kRowAlignment + kRowSkew;
    std::vector<std::uint8_t> rgb(cmyk_ ? static_cast<std::size_t>(decoded.width) * 3 : 0);
    JSAMPROW pointers[kRowsPerRead];
    for (std::size_t i = 0; i < kRowsPerRead; ++i) pointers[i] = first + i * pitch;
    while (cinfo_.output_scanline < cinfo_.output_height) {
        JDIMENSION lines = 0;
        if (!guarded([&] { lines = jpeg_read_scanlines(&cinfo_, pointers, kRowsPerRead); }) || lines == 0) {
            return std::nullopt;
        }
        for (JDIMENSION i = 0; i < lines; ++i) {
            if (cmyk_) toRgb(pointers[i], rgb.data());
            scaler.addRow(cmyk_ ? rgb.data() : pointers[i]);
        }
    }
    if (trap_.truncated && truncation == Truncation::kReject) return std::nullopt;
    return scaler.finish();
}

}  // namespace

std::optional<Bitmap> decodeJpeg(const JpegStream& stream, int maxSide, Truncation truncation,
                                 WorkLimit& limit) {
    Decompressor decompressor(limit);
    if (!decompressor.open(stream) || !decompressor.start(maxSide)) return std::nullopt;
    return decompressor.readRows(maxSide, truncation);
}

}  // namespace quillory::imageio
