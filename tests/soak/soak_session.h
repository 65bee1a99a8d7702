#pragma once

#include <string>
#include <vector>

#include "app/application_delegate.h"
#include "inspection/read_queue.h"
#include "platform/imageio/image_service_factory.h"
#include "platform/sim/sim_platform.h"
#include "tests/support/fakes.h"
#include "tests/support/support.h"

// The whole program on the simulated platform with the real image service and its panel open,
// as the soak test runs it and the soak benchmark measures it.
namespace quillory::soak {

// Counts log lines instead of keeping them: the simulated log would grow by one line a fill.
class CountingLog final : public platform::Log {
public:
    void log(std::string_view) override { ++lines; }
    long lines = 0;
};

struct Session {
    Session() {
        sim.application.launch(delegate);
        sim.clickStatusItem();
        sim.advance(1.0);  // animated in, two ticks polled
    }
    platform::Platform services() {
        platform::Platform services = sim.services();
        return {
            services.application, services.runLoop, services.animation, services.statusBar, services.screens,
            services.windows,     services.images,  services.defaults,  services.bundle,    log,
            services.process};
    }
    // One firing of the polling timer, then the display pass the platform runs after it.
    void tick() {
        sim.advance(0.5);
        platform::sim::SimGraphics graphics;
        sim.displayPass(graphics);
    }

    platform::sim::SimPlatform sim;
    CountingLog log;
    testing::FakeSelection selection;
    testing::RecordingImages images{imageio::makeImageService()};
    InlineReadQueue reads;
    ApplicationDelegate delegate{services(), {selection, images, reads}};
};

// The photos a session alternates between: fixtures (a JPEG with a thumbnail, one without, a
// CR2) and, when the corpus is there, its smallest camera photos of each kind.
inline std::vector<std::string> photoUrls() {
    std::vector<std::string> urls;
    for (const char* name : {"jpeg/o6-thumbnail.jpg", "jpeg/o1.jpg", "cr2/plain.CR2"})
        urls.push_back(Url::fromLocalPath(support::data(name).string()).string());
    for (const char* folder : {"jpg", "cr2"}) {
        std::vector<std::pair<std::uintmax_t, std::string>> bySize;
        for (const auto& file : support::corpusFiles(folder))
            bySize.emplace_back(std::filesystem::file_size(file), file);
        std::sort(bySize.begin(), bySize.end());
        for (std::size_t i = 0; i < std::min<std::size_t>(bySize.size(), 3); ++i)
            urls.push_back(Url::fromLocalPath(bySize[i].second).string());
    }
    return urls;
}

}  // namespace quillory::soak
