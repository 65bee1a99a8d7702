#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace quillory::platform {

// Receives key-value observation callbacks.
class Observer {
public:
    Observer() = default;
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;
    virtual ~Observer() = default;

    // `keyPath` of `object` was set; `context` is the token given at registration.
    virtual void observeValueForKeyPath(std::string_view keyPath, const void* object,
                                        const void* context) = 0;
};

// The observers of one object's keys. The owner calls didChangeValueForKey after its setter's
// work is done, so callbacks run synchronously inside the setter, with the registered context.
class KeyValueObservers {
public:
    explicit KeyValueObservers(const void* object) : object_(object) {}
    KeyValueObservers(const KeyValueObservers&) = delete;
    KeyValueObservers& operator=(const KeyValueObservers&) = delete;

    // Registers `observer`; registering calls nothing back. Nothing for nullptr.
    void addObserver(Observer* observer, std::string_view keyPath, const void* context) {
        if (observer != nullptr) entries_.push_back({observer, std::string(keyPath), context});
    }
    // Removes the latest registration of `observer` for `keyPath`; nothing when there is none.
    void removeObserver(const Observer* observer, std::string_view keyPath) {
        auto it = std::find_if(entries_.rbegin(), entries_.rend(), [&](const Entry& e) {
            return e.observer == observer && e.keyPath == keyPath;
        });
        if (it != entries_.rend()) entries_.erase(std::next(it).base());
    }
    // Calls every observer of `keyPath` in registration order.
    void didChangeValueForKey(std::string_view keyPath) const {
        auto snapshot = entries_;  // a callback may add or remove observers
        for (const Entry& e : snapshot) {
            if (e.keyPath == keyPath) e.observer->observeValueForKeyPath(keyPath, object_, e.context);
        }
    }
    // How many registrations `keyPath` has; 0 when none.
    std::size_t observationCount(std::string_view keyPath) const {
        return static_cast<std::size_t>(std::count_if(entries_.begin(), entries_.end(),
                                                      [&](const Entry& e) { return e.keyPath == keyPath; }));
    }

private:
    struct Entry {
        Observer* observer;
        std::string keyPath;
        const void* context;
    };
    const void* object_;
    std::vector<Entry> entries_;
};

}  // namespace quillory::platform
