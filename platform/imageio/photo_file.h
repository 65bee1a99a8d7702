#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillory::imageio {

// A stretch of bytes inside a file.
struct ByteRange {
    std::int64_t offset = 0;
    std::int64_t length = 0;
};

// Which file a path named when it was looked at.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// A regular file opened read-only. Reads are positioned (pread), so the readers of one file
// never disturb each other, and nothing ever blocks on a pipe or a device.
class PhotoFile {
public:
    // The file at `path`, or nullptr when it is missing, unreadable or not a regular file;
    // `why`, when given, receives the reason. Anything else is refused before it is opened:
    // opening a serial device alone toggles its control lines.
    static std::unique_ptr<PhotoFile> open(const std::string& path, std::string* why);
    // The file at `path` only if it is still the regular file `seen`: a path swapped for
    // another file (or a device) since it was looked at is refused.
    static std::unique_ptr<PhotoFile> openSeen(const std::string& path, FileIdentity seen, std::string* why);

    PhotoFile(const PhotoFile&) = delete;
    PhotoFile& operator=(const PhotoFile&) = delete;
    ~PhotoFile();

    int fd() const { return fd_; }
    std::int64_t size() const { return size_; }

    // Up to `length` bytes from `offset`; fewer at the end of the file or on a read error.
    std::size_t readAt(std::int64_t offset, std::uint8_t* into, std::size_t length) const;
    std::vector<std::uint8_t> read(ByteRange range) const;
    // `range` cut to the part that lies inside the file.
    ByteRange clamp(ByteRange range) const;

private:
    PhotoFile(int fd, std::int64_t size) : fd_(fd), size_(size) {}

    int fd_;
    std::int64_t size_;
};

}  // namespace quillory::imageio
