#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/application_delegate.h"
#include "inspection/image_service.h"
#include "inspection/selection_query.h"
#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_read_queue.h"
#include "tests/support/fakes.h"

namespace quillory::testing {

namespace sim = platform::sim;

// Every path opens as a photo with a 4 x 3 preview.
class FakePhotos final : public ImageService {
public:
    std::unique_ptr<ImageSource> createWithPath(const std::string& /*path*/, std::string* /*why*/) override {
        return std::make_unique<Source>();
    }

private:
    class Source final : public ImageSource {
    public:
        std::optional<ImageProperties> copyPropertiesAtIndex0() override { return ImageProperties{}; }
        std::optional<ContainerProperties> copyProperties() override { return ContainerProperties{42}; }
        std::optional<Bitmap> createThumbnailAtIndex0(const ThumbnailOptions&) override {
            return Bitmap{4, 3, std::vector<std::uint8_t>(36, 7)};
        }
    };
};

// The whole program, launched on the simulated platform.
struct Program {
    // `iconOrigin` none: a tray that does not say where the icon is.
    explicit Program(std::optional<platform::Point> iconOrigin = platform::Point{988.0, 878.0}) {
        sim.statusBar.setNewItemOrigin(iconOrigin);
        sim.application.launch(delegate);
    }

    PanelController* panel() const { return delegate.existingPanelController(); }
    sim::SimWindow* window() const { return sim.window(); }
    bool icon() const { return delegate.menubarController()->hasActiveIcon(); }
    std::int64_t arrowX() const { return panel()->backgroundView()->arrowX(); }

    sim::SimPlatform sim;
    FakeSelection selection;
    FakePhotos photos;
    // Reads apply at once unless a test gives them a duration.
    sim::SimReadQueue reads{sim.runLoop};
    ApplicationDelegate delegate{sim.services(), {selection, photos, reads}};
};

// Counts the observation callbacks it receives.
struct CountingObserver final : platform::Observer {
    void observeValueForKeyPath(std::string_view, const void*, const void*) override { ++calls; }
    int calls = 0;
};

}  // namespace quillory::testing
