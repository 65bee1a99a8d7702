#include "platform/imageio/photo_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quillory::imageio {

namespace {

std::unique_ptr<PhotoFile> refuse(std::string* why, const char* reason) {
    if (why) *why = reason;
    return nullptr;
}

}  // namespace

std::unique_ptr<PhotoFile> PhotoFile::open(const std::string& path, std::string* why) {
    struct stat seen {};
    if (::stat(path.c_str(), &seen) != 0) return refuse(why, std::strerror(errno));
    if (!S_ISREG(seen.st_mode)) return refuse(why, "not a regular file");
    return openSeen(path, {static_cast<std::uint64_t>(seen.st_dev), static_cast<std::uint64_t>(seen.st_ino)},
                    why);
}

std::unique_ptr<PhotoFile> PhotoFile::openSeen(const std::string& path, FileIdentity seen, std::string* why) {
    // O_NONBLOCK: should the path have become a FIFO or a device meanwhile, the open must not wait.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return refuse(why, std::strerror(errno));
    struct stat info {};
    const char* refusal = nullptr;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        refusal = "not a regular file";
    } else if (static_cast<std::uint64_t>(info.st_dev) != seen.device ||
               static_cast<std::uint64_t>(info.st_ino) != seen.inode) {
        refusal = "replaced while being opened";
    }
    if (refusal) {
        ::close(fd);
        return refuse(why, refusal);
    }
    // Some network and FUSE file systems honour O_NONBLOCK on reads too: a read that has to wait
    // must wait, not fail.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
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
