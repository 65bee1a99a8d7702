#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform.h"
#include "platform/sim/sim_run_loop.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/sim_window.h"

namespace quillory::platform::sim {

// The whole simulated platform: a first screen of 1440 x 900, a status bar 22 high whose
// items sit at (988, 878), the images "Status", "Icon" and "IconHighlighted" of 16 x 16,
// short version "1.2", and a virtual clock that only moves on advance().
struct SimPlatform {
    SimPlatform();
    SimPlatform(const SimPlatform&) = delete;
    SimPlatform& operator=(const SimPlatform&) = delete;

    // The services as the program's controllers take them.
    Platform services();

    // A mouse-down in the newest status item's view, with `modifiers` held; the event is
    // current while the view handles it. Its location is the icon's middle unless given.
    // False when no status item shows a view.
    bool clickStatusItem(std::uint64_t modifiers = 0, std::optional<Point> location = std::nullopt);
    // Chooses the entry `title` of the newest status item's menu, opened at `openedAt`; false
    // when there is no such entry.
    bool chooseStatusMenuItem(const std::string& title, std::optional<Point> openedAt = std::nullopt);
    // Draws every status item view and visible window content that asked to be drawn;
    // returns how many views were drawn.
    int displayPass(SimGraphics& graphics);
    void advance(double seconds) { runLoop.advance(seconds); }

    // The newest status item and the newest window; nullptr when there is none.
    SimStatusItem* statusItem() const;
    SimWindow* window() const;

    SimRunLoop runLoop;
    SimAnimationContext animation;
    SimApplication application;
    SimStatusBar statusBar{22.0};
    SimScreens screens;
    SimWindowServer windows{runLoop};
    SimImageStore images;
    SimUserDefaults defaults;
    SimBundle bundle;
    SimLog log;
    SimProcess process;
};

}  // namespace quillory::platform::sim
