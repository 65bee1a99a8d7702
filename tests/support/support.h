#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// QUILLORY_ASAN: a build with AddressSanitizer (GCC or clang), where resident-memory figures
// mean nothing and leak checking is on.
#if defined(__SANITIZE_ADDRESS__)
#define QUILLORY_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLORY_ASAN 1
#endif
#endif

// What the test programs share: the files they read and the folders they write.
namespace quillory::support {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

#ifdef QUILLORY_ASAN
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif

// A committed fixture of tests/data (see its README), e.g. data("jpeg/o6.jpg").
fs::path data(const std::string& name);
// The real camera files: QUILLORY_CORPUS, else the folder CMake was given; may not exist.
fs::path corpus();
// The regular files of `folder` inside the corpus, sorted by name.
std::vector<fs::path> corpusFiles(const std::string& folder);

Bytes readFile(const fs::path& path);
void writeFile(const fs::path& path, const Bytes& bytes);

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    // Writes `bytes` as `name` here; returns the file's path.
    std::string write(const std::string& name, const Bytes& bytes) const;
    // Copies the fixture `dataName` here as `name`.
    std::string copy(const std::string& dataName, const std::string& name) const;

private:
    fs::path path_;
};

}  // namespace quillory::support
