#pragma once

#include <QObject>

#include <functional>
#include <optional>

#include "platform/application.h"

namespace quillory::qt {

// The running Qt application as the program sees it: the delegate at the end of the responder
// chain, the event being handled, and quitting through the delegate.
class QtApplication final : public platform::Application {
public:
    QtApplication();

    std::optional<platform::Event> currentEvent() const override { return current_; }
    // An X11 desktop has no application to activate: the panel activates its own window.
    void activateIgnoringOtherApps(bool /*flag*/) override {}
    bool sendAction(std::string_view action, platform::Responder* target, const void* sender) override;
    // Asks the delegate; on terminateNow the event loop ends with status 0.
    void terminate() override;

    // Sets the delegate and tells it that launching has finished. A quit that does not come
    // through terminate() (the session manager) still asks the delegate first.
    void launch(platform::AppDelegate& delegate);
    // Runs `handler` with `event` as the current event, as a click on the tray icon does.
    void handleEvent(const platform::Event& event, const std::function<void()>& handler);

private:
    platform::AppDelegate* delegate_ = nullptr;
    std::optional<platform::Event> current_;
    bool terminating_ = false;
    QObject context_;
};

}  // namespace quillory::qt
