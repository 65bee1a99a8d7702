// Every input that once broke the fill (fuzzer findings, and the smallest forms of faults the
// hostile tests found), minimised and kept in regressions/: each must now be shown soundly, in
// bounded memory and without hanging, under either photo name.
#include <gtest/gtest.h>

#include "tests/hostile/hostile_support.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;

TEST(FuzzRegression, everyKeptInputIsShownSoundly) {
    const fs::path kept = QUILLORY_REGRESSIONS_DIR;
    std::vector<fs::path> inputs;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(kept, missing)) {
        if (entry.path().extension() == ".bin") inputs.push_back(entry.path());
    }
    if (inputs.empty()) GTEST_SKIP() << "no inputs kept in " << kept;
    std::sort(inputs.begin(), inputs.end());
    const fixtures::TempDir dir;
    for (const fs::path& input : inputs) {
        for (const char* name : {"photo.jpg", "photo.CR2"}) {
            SCOPED_TRACE(input.filename().string() + " as " + name);
            const fs::path photo = dir.path() / name;
            const fixtures::Bytes bytes = hostile::readFile(input);
            hostile::writeFile(photo, bytes);
            const hostile::ChildResult child = hostile::inChild([&] {
                return hostile::unsoundness(hostile::fill({hostile::urlOf(photo)}), photo,
                                            static_cast<std::int64_t>(bytes.size()));
            });
            EXPECT_TRUE(child.exitedCleanly) << child.how;
            EXPECT_EQ(child.report, "");
            if (!hostile::underAddressSanitizer()) {
                EXPECT_LE(child.peakGrowthKiB, hostile::fillBudgetKiB(photo));
            }
        }
    }
}

}  // namespace
}  // namespace quillory
