// Photos cut short and with bytes flipped: the fixture photos, and when the shared corpus is
// there, its real camera files and its "bad" folder (crash reproducers of other image readers).
// Nothing may crash, hang or read out of bounds (the sanitizer build watches the last), and
// what the fill shows is sound.
#include <gtest/gtest.h>

#include <random>

#include "tests/hostile/hostile_support.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;

// Shows `bytes` as `name`: what is wrong with it, or empty.
std::string show(const support::TempDir& dir, const std::string& name, const support::Bytes& bytes) {
    const fs::path photo = dir.write(name, bytes);
    return hostile::unsoundness(hostile::fill({hostile::urlOf(photo)}), photo, std::ssize(bytes));
}

TEST(CorpusDamage, everyPhotoCutShortOrWithFlippedBytesIsShownSoundly) {
    // Cut at and flipped in this many places each: the corpus, nearly a hundred files, fewer;
    // its bad files are shown whole and with one byte flipped.
    std::vector<std::pair<fs::path, int>> photos;
    for (const char* file :
         {"jpeg/o6-thumbnail.jpg", "jpeg/progressive.jpg", "cr2/plain.CR2", "cr2/large-preview.CR2"})
        photos.emplace_back(support::data(file), 32);
    for (const char* folder : {"jpg", "cr2"})
        for (const fs::path& photo : support::corpusFiles(folder)) photos.emplace_back(photo, 4);
    for (const fs::path& bad : support::corpusFiles("bad")) photos.emplace_back(bad, 1);
    const support::TempDir dir;
    std::mt19937 random(20240607);  // fixed: a failure names the offset and value to repeat it
    for (const auto& [original, variants] : photos) {
        SCOPED_TRACE(original.filename().string());
        const std::string name = original.extension() == ".jpg" ? "photo.jpg" : "photo.CR2";
        const support::Bytes bytes = support::readFile(original);
        std::uniform_int_distribution<std::size_t> where(0, std::min<std::size_t>(bytes.size(), 65536) - 1);
        for (int i = 0; i < variants; ++i) {
            support::Bytes flipped = bytes;
            const std::size_t at = where(random);
            flipped[at] ^= static_cast<std::uint8_t>(1 + random() % 255);
            EXPECT_EQ(show(dir, name, flipped), "") << "byte " << at << " now " << int(flipped[at]);
        }
        for (int k = 1; k <= variants; ++k) {
            const support::Bytes cut(bytes.begin(), bytes.begin() + std::ssize(bytes) * k / variants);
            EXPECT_EQ(show(dir, name, cut), "") << "cut at " << cut.size();
        }
    }
}

}  // namespace
}  // namespace quillory
