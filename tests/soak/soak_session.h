#pragma once

#include "app/application_delegate.h"
#include "platform/imageio/image_service_factory.h"
#include "platform/sim/sim_platform.h"
#include "tests/support/fakes.h"

namespace quillory::soak {

// The whole program on the simulated platform with the real image service, its panel open, as
// the soak test runs it and bench/soak_bench measures it.
struct Session {
    Session() {
        sim.launch(delegate);
        sim.clickStatusItem();
    }
    // One firing of the polling timer, then the display pass the platform runs after it.
    void tick() {
        sim.advance(0.5);
        sim.displayPass(graphics);
    }

    platform::sim::SimPlatform sim;
    platform::sim::SimGraphics graphics;
    testing::FakeSelection selection;
    testing::RecordingImages images{imageio::makeImageService()};
    InlineReadQueue reads;
    ApplicationDelegate delegate{sim.services(), {selection, images, reads}};
};

}  // namespace quillory::soak
