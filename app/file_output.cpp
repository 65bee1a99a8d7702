#include "app/file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quillory {
namespace {

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

std::string lastError() {
    return std::strerror(errno);
}

// The first bytes of the regular file at `path`, opened without following a link.
std::optional<std::string> head(const std::string& path, std::size_t size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string bytes(size, '\0');
    const ssize_t got = ::read(fd, bytes.data(), size);
    ::close(fd);
    if (got < 0) return std::nullopt;
    bytes.resize(static_cast<std::size_t>(got));
    return bytes;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written == 0) errno = ENOSPC;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// New files get the usual permissions, not mkstemp's owner-only ones.
mode_t creationMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::optional<std::string> outputRefusal(const std::string& input, const std::string& target) {
    struct stat existing {};
    if (::lstat(target.c_str(), &existing) != 0) return std::nullopt;  // nothing there to lose
    struct stat photo {};
    if (::stat(input.c_str(), &photo) == 0 && photo.st_dev == existing.st_dev &&
        photo.st_ino == existing.st_ino)
        return "it is the photo being read";
    if (S_ISLNK(existing.st_mode)) return "it is a symbolic link";
    if (!S_ISREG(existing.st_mode)) return "it is not a regular file";
    if (existing.st_size == 0) return std::nullopt;
    const std::optional<std::string> start = head(target, kPngSignature.size());
    if (!start) return "it cannot be read to check that it is a PNG: " + lastError();
    if (*start != kPngSignature) return "it exists and is not a PNG";
    return std::nullopt;
}

bool replaceFile(const std::string& path, std::string_view bytes, std::string& why) {
    const std::size_t slash = path.rfind('/');
    if (path.empty() || slash + 1 == path.size()) {
        why = "it names a folder";
        return false;
    }
    // A short fixed name beside the target: the target's own name may be near the length limit.
    std::string temporary = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    temporary += ".quillory-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        why = lastError();
        return false;
    }
    std::string failure;
    if (::fchmod(fd, creationMode()) != 0 || !writeAll(fd, bytes) || ::fsync(fd) != 0) failure = lastError();
    if (::close(fd) != 0 && failure.empty()) failure = lastError();
    if (failure.empty() && ::rename(temporary.c_str(), path.c_str()) != 0) failure = lastError();
    if (failure.empty()) return true;
    ::unlink(temporary.c_str());
    why = failure;
    return false;
}

}  // namespace quillory
