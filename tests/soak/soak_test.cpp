// Long sessions of the whole program on the simulated platform, with the real image service:
// ten thousand ticks that each show another photo, ten thousand over a selection that does not
// change, and a selection of a hundred thousand items. Resident memory must stay flat once
// warmed up, and the sanitizer build must find no leak when the program is torn down.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <memory>

#include "app/application_delegate.h"
#include "platform/imageio/image_service_factory.h"
#include "platform/sim/sim_platform.h"
#include "tests/imageio/fixtures.h"
#include "tests/sanitizer.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;
using fixtures::Bytes;

constexpr int kTicks = 10'000;
constexpr int kWarmUpTicks = 1'000;
constexpr long kMaxGrowthBytes = 1024 * 1024;

long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

bool residentMemoryMeansSomething() {
#ifdef QUILLORY_ASAN
    return false;  // the sanitizer keeps freed blocks in quarantine and shadows every byte
#else
    return true;
#endif
}

// Counts log lines instead of keeping them: the simulated log would grow by one line a fill.
class CountingLog final : public platform::Log {
public:
    void log(std::string_view) override { ++lines; }
    long lines = 0;
};

class Selection final : public SelectionQuery {
public:
    std::vector<std::string> selection() override {
        ++queries;
        return items;
    }
    std::vector<std::string> items;
    long queries = 0;
};

// The program's image service, counting the files it opens.
class CountingImages final : public ImageService {
public:
    std::unique_ptr<ImageSource> createWithPath(const std::string& path, std::string* why) override {
        ++opened;
        return real_->createWithPath(path, why);
    }
    long opened = 0;

private:
    std::unique_ptr<ImageService> real_ = imageio::makeImageService();
};

// The whole program, launched on the simulated platform with its panel open.
struct Session {
    Session() {
        sim.application.launch(delegate);
        sim.clickStatusItem();
        sim.advance(1.0);  // animated in, two ticks polled
    }

    platform::Platform services() {
        return {sim.application, sim.runLoop,  sim.animation, sim.statusBar, sim.screens, sim.windows,
                sim.images,      sim.defaults, sim.bundle,    log,           sim.process};
    }
    // One firing of the polling timer, then the display pass the platform runs after it.
    void tick() {
        sim.advance(0.5);
        platform::sim::SimGraphics graphics;
        sim.displayPass(graphics);
    }

    platform::sim::SimPlatform sim;
    CountingLog log;
    Selection selection;
    CountingImages images;
    InlineReadQueue reads;
    ApplicationDelegate delegate{services(), {selection, images, reads}};
};

Bytes photo(int width, int height, bool thumbnail) {
    const Bytes jpeg = fixtures::encodeJpeg(fixtures::quadrantPicture(width, height, fixtures::kUpright));
    if (!thumbnail) return jpeg;
    fixtures::ExifFields fields;
    fields.model = "Soak Cam";
    fields.orientation = 6;
    fields.thumbnail =
        fixtures::encodeJpeg(fixtures::quadrantPicture(width / 8, height / 8, fixtures::kUpright));
    return fixtures::withExif(jpeg, fields);
}

fs::path corpus() {
    const char* env = std::getenv("QUILLORY_CORPUS");
    return env && *env ? fs::path(env) : fs::path("../shared/corpus");
}

// The photos the soak alternates between: its own (a JPEG with a thumbnail, one without, a
// CR2) and, when the corpus is there, its smallest camera photos of each kind.
std::vector<std::string> photoUrls(const fixtures::TempDir& dir) {
    fixtures::Cr2Fields raw;
    raw.preview = photo(320, 240, false);
    raw.thumbnail = photo(160, 120, false);
    std::vector<std::string> urls;
    for (const auto& [name, bytes] :
         {std::pair{"thumbnail.jpg", photo(640, 480, true)}, std::pair{"bare.JPG", photo(640, 480, false)},
          std::pair{"raw.CR2", fixtures::buildCr2(raw)}}) {
        urls.push_back(Url::fromLocalPath(dir.write(name, bytes)).string());
    }
    for (const char* folder : {"jpg", "cr2"}) {
        std::vector<std::pair<std::uintmax_t, fs::path>> bySize;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(corpus() / folder, error))
            bySize.emplace_back(entry.file_size(), entry.path());
        std::sort(bySize.begin(), bySize.end());
        for (std::size_t i = 0; i < std::min<std::size_t>(bySize.size(), 3); ++i)
            urls.push_back(Url::fromLocalPath(bySize[i].second.string()).string());
    }
    return urls;
}

TEST(Soak, tenThousandChangingTicksThenTenThousandStillOnesKeepMemoryFlat) {
    const fixtures::TempDir dir;
    const std::vector<std::string> photos = photoUrls(dir);
    RecordProperty("photos", std::to_string(photos.size()));
    Session session;
    const auto showNext = [&](int tick) {
        session.selection.items = {photos[static_cast<std::size_t>(tick) % photos.size()]};
        session.tick();
    };

    for (int tick = 0; tick < kWarmUpTicks; ++tick) showNext(tick);
    const long warm = residentBytes();
    const long fillsBefore = session.log.lines;
    for (int tick = kWarmUpTicks; tick < kTicks; ++tick) showNext(tick);
    EXPECT_EQ(session.log.lines - fillsBefore, kTicks - kWarmUpTicks) << "one fill for every change";
    const long afterChanges = residentBytes();

    const long fills = session.log.lines;
    const long opened = session.images.opened;
    const long queries = session.selection.queries;
    for (int tick = 0; tick < kTicks; ++tick) session.tick();
    EXPECT_EQ(session.log.lines, fills) << "a fill without a change";
    EXPECT_EQ(session.images.opened, opened) << "a file read without a change";
    EXPECT_EQ(session.selection.queries - queries, kTicks);
    const long afterStill = residentBytes();

    RecordProperty("growth_changing_bytes", std::to_string(afterChanges - warm));
    RecordProperty("growth_total_bytes", std::to_string(afterStill - warm));
    if (residentMemoryMeansSomething()) {
        EXPECT_LT(afterChanges - warm, kMaxGrowthBytes);
        EXPECT_LT(afterStill - warm, kMaxGrowthBytes);
    }
}

struct LargeSelection {
    const char* name;
    bool photoLast;  // the one photo at the end, or first with everything else after it
};

void PrintTo(const LargeSelection& c, std::ostream* os) {
    *os << c.name;
}

class HundredThousandItems : public ::testing::TestWithParam<LargeSelection> {};

// Only the last item's outcome stays visible, so the fill reads at most that one file; the tick
// never fills again while nothing changes.
TEST_P(HundredThousandItems, fillReadsAtMostTheLastItemAndStillTicksFillNothing) {
    const fixtures::TempDir dir;
    const std::string shown = Url::fromLocalPath(dir.write("shown.jpg", photo(64, 48, false))).string();
    std::vector<std::string> items;
    items.reserve(100'000);
    for (int i = 0; i < 99'999; ++i) {
        // Photos that do not exist, other files, folders and strings that are no URL.
        const std::string n = std::to_string(i);
        items.push_back(i % 4 == 0   ? "file:///absent/IMG_" + n + ".JPG"
                        : i % 4 == 1 ? "file:///documents/notes " + n + ".txt"
                        : i % 4 == 2 ? "file:///folders/" + n + "/"
                                     : "no url " + n);
    }
    if (GetParam().photoLast) {
        items.push_back(shown);
    } else {
        items.insert(items.begin(), shown);
        for (auto& item : items) {
            if (item.rfind("file:///absent/", 0) == 0) item = "file:///absent/notes.txt";
        }
    }

    Session session;
    session.selection.items = items;
    session.tick();
    const long opens = GetParam().photoLast ? 1 : 0;
    EXPECT_EQ(session.log.lines, 1);
    EXPECT_EQ(session.images.opened, opens);
    ASSERT_TRUE(session.delegate.existingPanelController()->oldUrl());
    EXPECT_EQ(session.delegate.existingPanelController()->oldUrl()->string(), shown);

    for (int tick = 0; tick < 20; ++tick) session.tick();
    EXPECT_EQ(session.log.lines, 1);
    EXPECT_EQ(session.images.opened, opens);
}

INSTANTIATE_TEST_SUITE_P(Soak, HundredThousandItems,
                         ::testing::Values(LargeSelection{"photoLast", true},
                                           LargeSelection{"photoFirst", false}),
                         [](const ::testing::TestParamInfo<LargeSelection>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
}  // namespace quillory
