#include "tests/support/support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace quillory::support {

fs::path data(const std::string& name) {
    return fs::path(QUILLORY_TEST_DATA) / name;
}

fs::path corpus() {
    const char* env = std::getenv("QUILLORY_CORPUS");
    return env && *env ? fs::path(env) : fs::path(QUILLORY_CORPUS_DIR);
}

std::vector<fs::path> corpusFiles(const std::string& folder) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(corpus() / folder, error))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quillory-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const Bytes& bytes) const {
    writeFile(path_ / name, bytes);
    return (path_ / name).string();
}

std::string TempDir::copy(const std::string& dataName, const std::string& name) const {
    return write(name, readFile(data(dataName)));
}

}  // namespace quillory::support
