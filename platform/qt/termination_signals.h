#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace quillory::qt {

// Turns SIGTERM, SIGINT and SIGHUP (session end, Ctrl+C, a closed terminal) into a call on the
// event loop, where quitting can go through the application delegate. Only one may exist.
class TerminationSignals final : public QObject {
public:
    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals() override;

    // False when the signals could not be caught (then the default action ends the process).
    bool isActive() const { return notifier_ != nullptr; }

private:
    void drain();

    std::function<void()> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace quillory::qt
