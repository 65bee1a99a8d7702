#include "tests/hostile/hostile_support.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "inspection/panel_fill.h"
#include "inspection/read_queue.h"
#include "inspection/summary.h"
#include "platform/imageio/image_service_factory.h"
#include "tests/proc_status.h"
#include "tests/unit/fakes.h"

namespace quillory::hostile {
namespace {

using quillory::proc::statusKiB;

void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return;
        done += static_cast<std::size_t>(wrote);
    }
}

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return text;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

// A fill that keeps the processor this long has hung: the child is ended (SIGXCPU), which the
// parent reports. Processor time, not wall time: a busy machine does not trip it.
constexpr rlim_t kHangSeconds = 20;

void limitProcessorTime() {
    const rlimit limit{kHangSeconds, kHangSeconds + 1};
    ::setrlimit(RLIMIT_CPU, &limit);
}

// Keeps a runaway allocation in a child from taking the shared machine down; far above any
// budget, so the peak measurement still sees everything that matters.
void capAddressSpace() {
    if (underAddressSanitizer()) return;  // its shadow memory needs terabytes of address space
    const long size = statusKiB("VmSize:");
    if (size < 0) return;
    const rlim_t cap = static_cast<rlim_t>(size) * 1024 + (rlim_t{4} << 30);
    const rlimit limit{cap, cap};
    ::setrlimit(RLIMIT_AS, &limit);
}

void put16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(Bytes& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void set32(Bytes& out, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t get16(const Bytes& in, std::size_t at) {
    return static_cast<std::uint32_t>(in[at] | (in[at + 1] << 8));
}
std::uint32_t get32(const Bytes& in, std::size_t at) {
    return get16(in, at) | (get16(in, at + 2) << 16);
}

// The bytes [at, at + n) of an open file; fewer at its end.
Bytes bytesAt(std::ifstream& in, std::int64_t at, std::size_t n) {
    Bytes bytes(n);
    in.clear();
    in.seekg(at);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(n));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return bytes;
}

struct Frame {
    bool progressive = false;
    int width = 0;
    int height = 0;
    std::vector<std::pair<int, int>> sampling;  // per component, horizontal and vertical
};

// Bytes of coefficients a decoder holds for `frame`: whole blocks of whole MCUs per component.
std::int64_t coefficientBytes(const Frame& frame) {
    int hMax = 1;
    int vMax = 1;
    for (const auto& [h, v] : frame.sampling) {
        hMax = std::max(hMax, h);
        vMax = std::max(vMax, v);
    }
    const auto up = [](std::int64_t n, std::int64_t by) { return (n + by - 1) / by; };
    std::int64_t total = 0;
    for (const auto& [h, v] : frame.sampling) {
        const std::int64_t across = up(up(std::int64_t{frame.width} * h, hMax), 8);
        const std::int64_t down = up(up(std::int64_t{frame.height} * v, vMax), 8);
        total +=
            up(across, std::max(h, 1)) * std::max(h, 1) * up(down, std::max(v, 1)) * std::max(v, 1) * 128;
    }
    return total;
}

bool isNumberOrNull(std::string_view text) {
    return text == "(null)" ||
           (!text.empty() && text.find_first_not_of("-+.0123456789e") == std::string_view::npos);
}

// "W x H x D M " with numbers or (null), and a colour model the reader names or (null).
bool isPixelLine(std::string_view line) {
    std::vector<std::string_view> parts;
    for (std::size_t at = 0; at <= line.size();) {
        const std::size_t blank = std::min(line.find(' ', at), line.size());
        parts.push_back(line.substr(at, blank - at));
        at = blank + 1;
    }
    static constexpr std::string_view kModels[] = {"RGB", "Gray", "CMYK", "(null)"};
    return parts.size() == 7 && isNumberOrNull(parts[0]) && parts[1] == "x" && isNumberOrNull(parts[2]) &&
           parts[3] == "x" && isNumberOrNull(parts[4]) &&
           std::find(std::begin(kModels), std::end(kModels), parts[5]) != std::end(kModels) &&
           parts[6].empty();
}

}  // namespace

long fillBudgetKiB(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::error_code error;
    const auto size = static_cast<std::int64_t>(fs::file_size(path, error));
    if (error || bytesAt(in, 0, 2) != Bytes{0xFF, 0xD8}) return kFillBudgetKiB;
    std::optional<Frame> frame;
    for (std::int64_t at = 2; at + 4 <= size;) {
        const Bytes head = bytesAt(in, at, 4);
        if (head.size() < 4 || head[0] != 0xFF) break;
        const int marker = head[1];
        const int length = (head[2] << 8) | head[3];
        const bool isFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (isFrame && !frame) {
            const Bytes sof = bytesAt(in, at + 4, static_cast<std::size_t>(std::max(length - 2, 0)));
            if (sof.size() < 6) break;
            frame = Frame{marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE,
                          (sof[3] << 8) | sof[4],
                          (sof[1] << 8) | sof[2],
                          {}};
            for (std::size_t c = 0; 6 + 3 * c + 1 < sof.size() && c < sof[5]; ++c)
                frame->sampling.emplace_back(sof[7 + 3 * c] >> 4, sof[7 + 3 * c] & 15);
        }
        if (marker == 0xDA) {
            const Bytes sos = bytesAt(in, at + 4, 1);
            const bool severalScans =
                frame && (frame->progressive || (!sos.empty() && sos[0] < frame->sampling.size()));
            if (!severalScans) break;
            const std::int64_t coefficients = std::min(coefficientBytes(*frame), size * 1024 + (1 << 20));
            return kFillBudgetKiB + static_cast<long>(coefficients / 1024);
        }
        at += 2 + length;
    }
    return kFillBudgetKiB;
}

bool underAddressSanitizer() {
#ifdef QUILLORY_ASAN
    return true;
#else
    return false;
#endif
}

fs::path corpus() {
    const char* env = std::getenv("QUILLORY_CORPUS");
    return env && *env ? fs::path(env) : fs::path("../shared/corpus");
}

std::vector<fs::path> corpusFiles(const std::string& folder) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(corpus() / folder, error)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

long residentKiB() {
    return statusKiB("VmRSS:");
}

long peakResidentKiB() {
    return statusKiB("VmHWM:");
}

bool resetPeakMemory() {
    // "5" resets the peak resident size to the present one (Linux 4.0 and later).
    const int fd = ::open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool done = ::write(fd, "5", 1) == 1;
    ::close(fd);
    return done;
}

FillOutcome fill(ImageService& images, const std::vector<std::string>& selection) {
    testing::FakeSelection query;
    query.items = selection;
    testing::RecordingPanel panel;
    InlineReadQueue reads;
    Inspector inspector({query, images, reads, [] { return std::optional<std::string>("1.2"); }, {}});
    inspector.setPanel(&panel);
    inspector.FillPanel();
    FillOutcome shown{panel.summary, panel.previewHidden, panel.pictureSet, panel.picture, std::nullopt};
    if (inspector.oldUrl()) shown.oldUrlPath = inspector.oldUrl()->path();
    return shown;
}

FillOutcome fill(const std::vector<std::string>& selection) {
    static const std::unique_ptr<ImageService> images = imageio::makeImageService();
    return fill(*images, selection);
}

std::string urlOf(const fs::path& path) {
    return Url::fromLocalPath(path.string()).string();
}

std::string unsoundness(const FillOutcome& shown, const fs::path& path, std::int64_t bytes) {
    const std::string& text = shown.summary;
    // Names are shown cleaned: control characters and invalid UTF-8 read U+FFFD.
    const std::string first =
        cleanText(path.filename().string()) + "  (" + std::to_string(bytes / 1000) + " kB) \n";
    if (text.rfind(first, 0) != 0) return "the summary does not start with \"" + first + "\": " + text;
    const std::size_t lineEnd = text.find('\n', first.size());
    if (lineEnd == std::string::npos) return "the summary has no pixel line: " + text;
    const std::string pixels = text.substr(first.size(), lineEnd - first.size());
    if (!isPixelLine(pixels)) return "the pixel line reads \"" + pixels + "\"";
    if (text.compare(lineEnd, 2, "\n\n") != 0) return "no empty line after the pixel line: " + text;
    const std::string last = "\n\n" + cleanText(path.parent_path().string());
    if (text.size() < last.size() || text.compare(text.size() - last.size(), last.size(), last) != 0)
        return "the summary does not end with the folder: " + text;
    if (shown.previewHidden) return "the preview of a photo is hidden";
    if (!shown.pictureSet) return "the preview picture was not replaced";
    if (const auto& picture = shown.picture) {
        if (picture->width < 1 || picture->height < 1 || picture->width > 500 || picture->height > 500)
            return "a preview of " + std::to_string(picture->width) + " x " + std::to_string(picture->height);
        if (picture->rgb.size() != static_cast<std::size_t>(picture->width) * picture->height * 3)
            return "a preview whose pixels do not match its size";
    }
    if (shown.oldUrlPath != path.string()) return "the photo was not recorded as shown";
    return {};
}

ChildResult inChild(const std::function<std::string()>& work) {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("no fork");
    if (pid == 0) {
        ::close(pipe[0]);
        limitProcessorTime();
        capAddressSpace();
        resetPeakMemory();
        const long before = residentKiB();
        std::string report;
        int status = 0;
        try {
            report = work();
        } catch (const std::exception& e) {
            report = std::string("threw: ") + e.what();
            status = 2;
        }
        writeAll(pipe[1], std::to_string(peakResidentKiB() - before) + "\n" + report);
        ::_exit(status);  // no exit handlers: they belong to the parent
    }
    ::close(pipe[1]);
    const std::string output = readAll(pipe[0]);
    ::close(pipe[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ChildResult result;
    if (WIFEXITED(status)) {
        result.exitedCleanly = WEXITSTATUS(status) == 0;
        result.how = "exit " + std::to_string(WEXITSTATUS(status));
    } else if (WIFSIGNALED(status)) {
        result.how =
            "signal " + std::to_string(WTERMSIG(status)) + " (" + ::strsignal(WTERMSIG(status)) + ")";
    }
    const std::size_t newline = output.find('\n');
    if (newline != std::string::npos) {
        result.peakGrowthKiB = std::strtol(output.c_str(), nullptr, 10);
        result.report = output.substr(newline + 1);
    }
    return result;
}

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

TiffBuilder::TiffBuilder() : bytes_{'I', 'I', 42, 0, 0, 0, 0, 0} {}

std::uint32_t TiffBuilder::directory(const std::vector<Entry>& entries, std::uint32_t next) {
    const std::uint32_t at = size();
    put16(bytes_, static_cast<std::uint32_t>(entries.size()));
    for (const Entry& e : entries) {
        put16(bytes_, e.tag);
        put16(bytes_, e.type);
        put32(bytes_, e.count);
        put32(bytes_, e.value);
    }
    put32(bytes_, next);
    return at;
}

std::uint32_t TiffBuilder::append(const Bytes& bytes) {
    const std::uint32_t at = size();
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    if (bytes_.size() % 2 != 0) bytes_.push_back(0);
    return at;
}

void TiffBuilder::setFirst(std::uint32_t offset) {
    set32(bytes_, 4, offset);
}

void TiffBuilder::setNext(std::uint32_t directory, std::uint32_t next) {
    set32(bytes_, directory + 2 + 12 * get16(bytes_, directory), next);
}

Bytes withApp1(const Bytes& jpeg, const Bytes& tiff) {
    const std::size_t length = tiff.size() + 8;  // the length field, "Exif\0\0" and the TIFF data
    if (length > 0xFFFF) throw std::runtime_error("an APP1 segment holds at most 64 KiB");
    Bytes out{0xFF,
              0xD8,
              0xFF,
              0xE1,
              static_cast<std::uint8_t>(length >> 8),
              static_cast<std::uint8_t>(length),
              'E',
              'x',
              'i',
              'f',
              0,
              0};
    out.insert(out.end(), tiff.begin(), tiff.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

std::uint32_t tiffDirectory(const Bytes& tiff, int index) {
    std::uint32_t ifd = get32(tiff, 4);
    for (int i = 0; i < index && ifd != 0; ++i) ifd = get32(tiff, ifd + 2 + 12 * get16(tiff, ifd));
    return ifd;
}

bool linkTiffDirectory(Bytes& tiff, int index, std::uint32_t next) {
    const std::uint32_t ifd = tiffDirectory(tiff, index);
    if (ifd == 0) return false;
    set32(tiff, ifd + 2 + 12 * get16(tiff, ifd), next);
    return true;
}

bool patchTiffTag(Bytes& tiff, int index, std::uint16_t tag, std::uint32_t value) {
    const std::uint32_t ifd = tiffDirectory(tiff, index);
    if (ifd == 0) return false;
    const std::uint32_t count = get16(tiff, ifd);
    for (std::uint32_t e = 0; e < count; ++e) {
        const std::size_t entry = ifd + 2 + 12 * e;
        if (get16(tiff, entry) == tag) {
            set32(tiff, entry + 8, value);
            return true;
        }
    }
    return false;
}

}  // namespace quillory::hostile
