#include "platform/imageio/photo_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quillory::imageio {

std::unique_ptr<PhotoFile> PhotoFile::open(const std::string& path, std::string* why) {
    // O_NONBLOCK: opening a FIFO or a device named photo.jpg must never wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (why) *why = std::strerror(errno);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (why) *why = "not a regular file";
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<PhotoFile>(new PhotoFile(fd, static_cast<std::int64_t>(info.st_size)));
}

PhotoFile::~PhotoFile() {
    ::close(fd_);
}

std::size_t PhotoFile::readAt(std::int64_t offset, std::uint8_t* into, std::size_t length) const {
    std::size_t done = 0;
    while (done < length && offset >= 0) {
        const ssize_t got = ::pread(fd_, into + done, length - done, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
        offset += got;
    }
    return done;
}

std::vector<std::uint8_t> PhotoFile::read(ByteRange range) const {
    const ByteRange inside = clamp(range);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(inside.length));
    bytes.resize(readAt(inside.offset, bytes.data(), bytes.size()));
    return bytes;
}

ByteRange PhotoFile::clamp(ByteRange range) const {
    if (range.offset < 0 || range.length < 0 || range.offset >= size_) return {0, 0};
    return {range.offset, std::min(range.length, size_ - range.offset)};
}

}  // namespace quillory::imageio
