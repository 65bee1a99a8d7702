#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "menubar/menubar_controller.h"
#include "menubar/status_item_view.h"
#include "platform/sim/sim_platform.h"

namespace quillory {
namespace {

namespace sim = platform::sim;
using Op = sim::SimGraphics::Call::Op;

struct MenubarFixture : ::testing::Test {
    sim::SimPlatform sim;
    std::optional<MenubarController> menubar{std::in_place, sim.services()};

    StatusItemView& view() { return *menubar->statusItemView(); }
    // The images drawn in one display pass, in order.
    std::vector<const platform::Image*> drawnImages() {
        sim::SimGraphics graphics;
        sim.displayPass(graphics);
        std::vector<const platform::Image*> images;
        for (const auto& call : graphics.calls()) {
            if (call.op == Op::image) images.push_back(call.image);
        }
        return images;
    }
};

TEST_F(MenubarFixture, putsOneItem24WideWithItsViewAndTheToggleAction) {
    ASSERT_EQ(sim.statusBar.items().size(), 1u);
    EXPECT_EQ(sim.statusItem()->length(), 24.0);
    EXPECT_EQ(sim.statusItem()->view(), &view());
    EXPECT_EQ(menubar->statusItem(), sim.statusItem());
    EXPECT_EQ(view().frame(), (platform::Rect{0, 0, 24, 22}));
    EXPECT_EQ(view().action(), "togglePanel:");
    EXPECT_EQ(view().target(), nullptr);
    EXPECT_EQ(view().image(), sim.images.imageNamed("Status"));
}

TEST_F(MenubarFixture, endingRemovesExactlyItsOwnItem) {
    auto other = sim.statusBar.statusItemWithLength(30.0);
    menubar.reset();
    ASSERT_EQ(sim.statusBar.items().size(), 1u);
    EXPECT_EQ(sim.statusBar.items().front(), other);
}

TEST_F(MenubarFixture, iconFlagChangesNothingOnScreen) {
    drawnImages();
    drawnImages();
    const int requests = sim.statusItem()->displayRequests();
    menubar->setHasActiveIcon(true);
    menubar->setHasActiveIcon(false);
    EXPECT_EQ(sim.statusItem()->displayRequests(), requests);
    EXPECT_TRUE(drawnImages().empty());
}

TEST_F(MenubarFixture, iconChosenByInterfaceStyle) {
    const struct {
        std::optional<std::string> style;
        const char* image;
    } cases[] = {{std::nullopt, "Icon"}, {"Dark", "IconHighlighted"}, {"dark", "Icon"},
                 {"DARK", "Icon"},       {"Light", "Icon"},           {"", "Icon"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style.value_or("(absent)"));
        sim.defaults.set(platform::kInterfaceStyleKey, c.style);
        view().setNeedsDisplay(true);
        auto drawn = drawnImages();
        ASSERT_EQ(drawn.size(), 1u);
        EXPECT_EQ(drawn[0], sim.images.imageNamed(c.image).get());
    }
}

TEST_F(MenubarFixture, imageCentredWithRoundingHalvesAwayFromZero) {
    const struct {
        platform::Size image;
        platform::Point at;
    } cases[] = {{{16, 16}, {4, 3}}, {{17, 17}, {4, 3}}, {{25, 18}, {-1, 2}}, {{24, 22}, {0, 0}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.image.width);
        EXPECT_EQ(centredImageOrigin(view().bounds(), c.image), c.at);
        sim.images.addImage("Icon", c.image);  // a new object: the next drawing picks it up
        view().setNeedsDisplay(true);
        sim::SimGraphics graphics;
        sim.displayPass(graphics);
        ASSERT_FALSE(graphics.calls().empty());
        EXPECT_EQ(graphics.calls().back().at, c.at);
    }
}

TEST_F(MenubarFixture, firstDrawingReplacesStatusImageAndAsksOnceMore) {
    EXPECT_EQ(sim.statusItem()->displayRequests(), 1);  // the "Status" image
    EXPECT_EQ(drawnImages().size(), 1u);
    EXPECT_EQ(sim.statusItem()->displayRequests(), 2);  // "Icon" replaced it
    EXPECT_EQ(drawnImages().size(), 1u);
    EXPECT_EQ(sim.statusItem()->displayRequests(), 2);  // steady: no further request
    EXPECT_TRUE(drawnImages().empty());

    sim.defaults.set(platform::kInterfaceStyleKey, "Dark");
    EXPECT_TRUE(drawnImages().empty());  // the appearance is not watched
    view().setNeedsDisplay(true);
    EXPECT_EQ(drawnImages(), std::vector{sim.images.imageNamed("IconHighlighted").get()});
    EXPECT_EQ(drawnImages().size(), 1u);  // the one extra pass for the changed image
    EXPECT_TRUE(drawnImages().empty());
}

TEST_F(MenubarFixture, setImageRequestsRedrawOnlyForAnotherObject) {
    drawnImages();
    drawnImages();
    auto held = view().image();
    const int before = sim.statusItem()->displayRequests();
    view().setImage(held);
    EXPECT_EQ(sim.statusItem()->displayRequests(), before);
    view().setImage(std::make_shared<sim::SimImage>(held->size()));  // looks alike, other object
    EXPECT_EQ(sim.statusItem()->displayRequests(), before + 1);
}

TEST_F(MenubarFixture, globalRectFollowsTheItemsWindow) {
    EXPECT_EQ(view().globalRect(), (platform::Rect{988, 878, 24, 22}));
    sim.statusItem()->setWindowOrigin(std::nullopt);  // a tray that does not say
    EXPECT_EQ(view().globalRect(), platform::Rect{});
    sim.statusItem()->setView(nullptr);  // in no window at all
    EXPECT_EQ(view().globalRect(), platform::Rect{});
}

TEST_F(MenubarFixture, mouseDownSendsTheActionOnceWithTheViewAsSender) {
    ASSERT_TRUE(sim.clickStatusItem());
    ASSERT_EQ(sim.application.sentActions().size(), 1u);
    EXPECT_EQ(sim.application.sentActions()[0].action, "togglePanel:");
    EXPECT_EQ(sim.application.sentActions()[0].sender, &view());

    view().setAction("");
    sim.clickStatusItem();
    EXPECT_EQ(sim.application.sentActions().size(), 1u);
}

}  // namespace
}  // namespace quillory
