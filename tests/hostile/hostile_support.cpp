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
#include "tests/support/fakes.h"
#include "tests/support/proc_status.h"

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
    if (support::kAddressSanitizer) return;  // its shadow memory needs terabytes of address space
    const long size = statusKiB("VmSize:");
    if (size < 0) return;
    const rlim_t cap = static_cast<rlim_t>(size) * 1024 + (rlim_t{4} << 30);
    const rlimit limit{cap, cap};
    ::setrlimit(RLIMIT_AS, &limit);
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

long fillBudgetKiB(std::int64_t bytes) {
    return 16 * 1024 + static_cast<long>(std::min<std::int64_t>(bytes + 1024, 512 * 1024));
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

FillOutcome fill(const std::vector<std::string>& selection) {
    static const std::unique_ptr<ImageService> images = imageio::makeImageService();
    testing::FakeSelection query;
    query.items = selection;
    testing::RecordingPanel panel;
    InlineReadQueue reads;
    Inspector inspector({query, *images, reads, [] { return std::optional<std::string>("1.2"); }, {}});
    inspector.setPanel(&panel);
    inspector.FillPanel();
    FillOutcome shown{panel.summary, panel.previewHidden, panel.pictureSet, panel.picture, std::nullopt};
    if (inspector.oldUrl()) shown.oldUrlPath = inspector.oldUrl()->path();
    return shown;
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

std::string showInChild(const fs::path& photo) {
    const auto bytes = static_cast<std::int64_t>(fs::file_size(photo));
    const ChildResult child = inChild([&] { return unsoundness(fill({urlOf(photo)}), photo, bytes); });
    if (!child.exitedCleanly) return child.how + ": " + child.report;
    if (!support::kAddressSanitizer && child.peakGrowthKiB > fillBudgetKiB(bytes))
        return child.report + "took " + std::to_string(child.peakGrowthKiB) + " KiB";
    return child.report;
}

}  // namespace quillory::hostile
