#include "platform/qt/qt_application.h"

#include <QCoreApplication>

namespace quillory::qt {

QtApplication::QtApplication() = default;

bool QtApplication::sendAction(std::string_view action, platform::Responder* target, const void* sender) {
    if (action.empty()) return false;
    platform::Responder* receiver = target != nullptr ? target : delegate_;
    return receiver != nullptr && receiver->tryToPerform(action, sender);
}

void QtApplication::terminate() {
    if (terminating_) return;
    if (delegate_ != nullptr &&
        delegate_->applicationShouldTerminate() != platform::TerminateReply::terminateNow) {
        return;
    }
    terminating_ = true;
    QCoreApplication::exit(0);
}

void QtApplication::launch(platform::AppDelegate& delegate) {
    delegate_ = &delegate;
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &context_, [this] {
        if (terminating_ || delegate_ == nullptr) return;
        terminating_ = true;
        delegate_->applicationShouldTerminate();
    });
    delegate.applicationDidFinishLaunching();
}

void QtApplication::handleEvent(const platform::Event& event, const std::function<void()>& handler) {
    std::optional<platform::Event> outer = current_;
    current_ = event;
    handler();
    current_ = outer;
}

}  // namespace quillory::qt
