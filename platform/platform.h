#pragma once

#include "platform/application.h"
#include "platform/bundle.h"
#include "platform/graphics.h"
#include "platform/log.h"
#include "platform/process.h"
#include "platform/run_loop.h"
#include "platform/screens.h"
#include "platform/status_bar.h"
#include "platform/user_defaults.h"
#include "platform/window.h"

namespace quillory::platform {

// The platform services the program's controllers use, in one place. Every service outlives
// the controllers; a real backend and the simulated one each fill in all of them.
struct Platform {
    Application& application;
    RunLoop& runLoop;
    AnimationContext& animation;
    StatusBar& statusBar;
    Screens& screens;
    WindowServer& windows;
    ImageStore& images;
    UserDefaults& defaults;
    Bundle& bundle;
    Log& log;
    Process& process;
};

}  // namespace quillory::platform
