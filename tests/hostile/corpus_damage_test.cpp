// The real camera files of the shared corpus, broken: the files of its "bad" folder (crash
// reproducers of other image readers), and every photo cut short and with bytes flipped. Each
// file is shown by the fill in a child process, which also measures the memory it takes.
// Skipped, saying why, when the corpus is absent.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <random>

#include "tests/hostile/hostile_support.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;
using support::Bytes;

constexpr int kCuts = 32;
constexpr int kFlips = 32;
constexpr std::int64_t kFlipWithin = 64 * 1024;

#define SKIP_WITHOUT_CORPUS(folder)                                                               \
    do {                                                                                          \
        if (!fs::is_directory(support::corpus() / (folder)))                                      \
            GTEST_SKIP() << "no corpus folder at " << fs::absolute(support::corpus() / (folder)); \
    } while (false)

// The photos of the corpus: its JPEG and CR2 folders.
std::vector<fs::path> photos() {
    std::vector<fs::path> all = support::corpusFiles("jpg");
    for (const fs::path& raw : support::corpusFiles("cr2")) all.push_back(raw);
    return all;
}

// A name the qualifying test accepts, keeping the kind the original's name says.
std::string photoName(const fs::path& original) {
    const std::string ext = original.extension().string();
    return ext == ".CR2" || ext == ".cr2" ? "photo.CR2" : "photo.jpg";
}

// Shows variant after variant of one photo, each measured on its own: what is wrong with each,
// and the variant that took the most memory.
class Variants {
public:
    // Shows the file at `photo` as it is now.
    void show(const fs::path& photo, const std::string& variant) {
        const auto bytes = static_cast<std::int64_t>(fs::file_size(photo));
        hostile::resetPeakMemory();
        const long before = hostile::residentKiB();
        const std::string wrong = hostile::unsoundness(hostile::fill({hostile::urlOf(photo)}), photo, bytes);
        const long growth = hostile::peakResidentKiB() - before;
        if (!wrong.empty()) report_ += variant + ": " + wrong + "\n";
        const long budget = hostile::fillBudgetKiB(bytes);
        if (!support::kAddressSanitizer && growth > budget) {
            report_ += variant + ": the fill took " + std::to_string(growth) + " KiB of " +
                       std::to_string(budget) + "\n";
        }
    }
    const std::string& report() const { return report_; }

private:
    std::string report_;
};

void expectSound(const hostile::ChildResult& child) {
    EXPECT_TRUE(child.exitedCleanly) << child.how;
    EXPECT_EQ(child.report, "");
}

TEST(CorpusDamage, everyBadFileIsShownSoundly) {
    SKIP_WITHOUT_CORPUS("bad");
    const support::TempDir dir;
    for (const fs::path& bad : support::corpusFiles("bad")) {
        SCOPED_TRACE(bad.filename().string());
        expectSound(hostile::inChild([&] {
            Variants variants;
            for (const char* name : {"photo.jpg", "photo.CR2"}) {
                const fs::path photo = dir.path() / name;
                support::writeFile(photo, support::readFile(bad));
                variants.show(photo, name);
            }
            return variants.report();
        }));
    }
}

// Every photo with 32 bytes of its first 64 KiB flipped one at a time, then cut at 32 lengths.
TEST(CorpusDamage, everyPhotoCutShortOrWithFlippedBytesIsShownSoundly) {
    SKIP_WITHOUT_CORPUS("jpg");
    const support::TempDir dir;
    std::mt19937 random(20240607);  // fixed: a failure names the offset and value to repeat it
    for (const fs::path& original : photos()) {
        SCOPED_TRACE(original.filename().string());
        const fs::path photo = dir.path() / photoName(original);
        const Bytes bytes = support::readFile(original);
        const auto size = static_cast<std::int64_t>(bytes.size());
        std::uniform_int_distribution<std::int64_t> where(0, std::min(size, kFlipWithin) - 1);
        std::uniform_int_distribution<int> mask(1, 255);
        expectSound(hostile::inChild([&] {
            Variants variants;
            support::writeFile(photo, bytes);  // writable, unlike the corpus
            const int fd = ::open(photo.c_str(), O_WRONLY | O_CLOEXEC);
            for (int i = 0; i < kFlips; ++i) {
                const std::int64_t at = where(random);
                const auto bits = static_cast<std::uint8_t>(mask(random));
                const auto flipped = static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(at)] ^ bits);
                ::pwrite(fd, &flipped, 1, at);
                variants.show(photo, "byte " + std::to_string(at) + " ^ " + std::to_string(bits));
                ::pwrite(fd, &bytes[static_cast<std::size_t>(at)], 1, at);
            }
            ::close(fd);
            for (int k = kCuts - 1; k >= 0; --k) {  // longest first: each cut shortens the file further
                fs::resize_file(photo, static_cast<std::uintmax_t>(size * k / kCuts));
                variants.show(photo, "cut at " + std::to_string(size * k / kCuts));
            }
            return variants.report();
        }));
    }
}

}  // namespace
}  // namespace quillory
