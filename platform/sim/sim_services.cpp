#include "platform/sim/sim_services.h"

#include <algorithm>

namespace quillory::platform::sim {

SimStatusItem::~SimStatusItem() {
    if (view_ != nullptr) view_->setWindow(nullptr);
}

void SimStatusItem::setView(View* view) {
    if (view_ != nullptr) view_->setWindow(nullptr);
    view_ = view;
    if (view_ != nullptr) view_->setWindow(this);
}

void SimStatusItem::viewNeedsDisplay(View& /*view*/) {
    ++displayRequests_;
}

Rect SimStatusItem::convertRectToScreen(const Rect& rect) const {
    if (!origin_) return {};
    return {origin_->x + rect.x, origin_->y + rect.y, rect.width, rect.height};
}

std::shared_ptr<StatusItem> SimStatusBar::statusItemWithLength(double length) {
    auto& item = items_.emplace_back(std::make_shared<SimStatusItem>(length));
    item->setWindowOrigin(newItemOrigin_);
    return item;
}

void SimStatusBar::removeStatusItem(const StatusItem* item) {
    std::erase_if(items_, [item](const auto& held) { return held.get() == item; });
}

bool SimApplication::sendAction(std::string_view action, Responder* target, const void* sender) {
    if (action.empty()) return false;
    Responder* receiver = target != nullptr ? target : delegate_;
    bool performed = receiver != nullptr && receiver->tryToPerform(action, sender);
    sent_.push_back({std::string(action), sender, performed});
    return performed;
}

void SimApplication::terminate() {
    if (delegate_ == nullptr) return;
    if (delegate_->applicationShouldTerminate() == TerminateReply::terminateNow) terminated_ = true;
}

void SimApplication::launch(AppDelegate& delegate) {
    delegate_ = &delegate;
    delegate.applicationDidFinishLaunching();
}

std::shared_ptr<const Image> SimImageStore::imageNamed(const std::string& name) {
    auto it = images_.find(name);
    return it != images_.end() ? it->second : nullptr;
}

std::shared_ptr<const Image> SimImageStore::addImage(const std::string& name, Size size) {
    return images_[name] = std::make_shared<SimImage>(size);
}

namespace {

std::optional<std::string> lookUp(const std::map<std::string, std::string, std::less<>>& values,
                                  std::string_view key) {
    auto it = values.find(key);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

void store(std::map<std::string, std::string, std::less<>>& values, std::string_view key,
           std::optional<std::string> value) {
    if (value) {
        values[std::string(key)] = std::move(*value);
    } else if (auto it = values.find(key); it != values.end()) {
        values.erase(it);
    }
}

}  // namespace

std::optional<std::string> SimUserDefaults::stringForKey(std::string_view key) const {
    return lookUp(values_, key);
}
void SimUserDefaults::set(std::string_view key, std::optional<std::string> value) {
    store(values_, key, value);
}

std::optional<std::string> SimBundle::objectForInfoDictionaryKey(std::string_view key) const {
    return lookUp(values_, key);
}
void SimBundle::set(std::string_view key, std::optional<std::string> value) {
    store(values_, key, value);
}

}  // namespace quillory::platform::sim
