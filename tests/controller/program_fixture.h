#pragma once

#include "app/application_delegate.h"
#include "platform/sim/sim_platform.h"
#include "tests/support/fakes.h"

namespace quillory::testing {

namespace sim = platform::sim;

// The whole program launched on the simulated platform; `iconOrigin` none: a tray that does
// not say where the icon is. Four photos under /photos open with a 2 x 1 preview.
struct Program {
    explicit Program(std::optional<platform::Point> iconOrigin = platform::Point{988.0, 878.0}) {
        for (const char* name : {"a.jpg", "b.jpg", "IMG_0042.JPG", "My Trip/IMG_1.cr2"})
            photos.addPhoto(std::string("/photos/") + name);
        sim.launch(delegate);
        sim.statusItem()->origin = iconOrigin;
    }
    PanelController* panel() const { return delegate.existingPanelController(); }
    sim::SimWindow& window() const { return *sim.window(); }
    bool icon() const { return delegate.menubarController()->hasActiveIcon(); }
    std::int64_t arrowX() const { return panel()->backgroundView()->arrowX(); }

    sim::SimPlatform sim;
    FakeSelection selection;
    FakeImageService photos;
    sim::SimReadQueue reads{sim.runLoop};  // at once unless a test gives reads a duration
    ApplicationDelegate delegate{sim.services(), {selection, photos, reads}};
};

}  // namespace quillory::testing
