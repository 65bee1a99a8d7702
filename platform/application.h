#pragma once

#include <optional>
#include <string_view>

#include "platform/event.h"

namespace quillory::platform {

// Something that can perform named actions ("togglePanel:").
class Responder {
public:
    Responder() = default;
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;
    virtual ~Responder() = default;

    // Performs `action` sent by `sender`; false when this responder has no such action.
    virtual bool tryToPerform(std::string_view action, const void* sender) = 0;
};

// The delegate's answer to a quit request; termination is never cancelled or deferred, so
// there is only one (NSTerminateNow's value).
enum class TerminateReply { terminateNow = 1 };

// The application's delegate: the end of the responder chain.
class AppDelegate : public Responder {
public:
    // Launching has finished; the main loop is about to handle events.
    virtual void applicationDidFinishLaunching() = 0;
    // The application was asked to quit; terminateNow lets it end.
    virtual TerminateReply applicationShouldTerminate() = 0;
};

// The running application.
class Application {
public:
    Application() = default;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;
    virtual ~Application() = default;

    // The event being handled; none outside event handling.
    virtual std::optional<Event> currentEvent() const = 0;
    // Brings the application forward; with `flag` NO it does not push ahead of others.
    virtual void activateIgnoringOtherApps(bool flag) = 0;
    // Sends `action` to `target`, or along the responder chain to the delegate when
    // `target` is nullptr; false when nobody performed it (an empty action included).
    virtual bool sendAction(std::string_view action, Responder* target, const void* sender) = 0;
    // Asks the delegate whether to quit and, on terminateNow, ends the main loop with status 0.
    virtual void terminate() = 0;
};

}  // namespace quillory::platform
