#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace vorla {

// Turns SIGTERM and SIGINT into a call inside the event loop, so the app ends the way its quit
// button ends it. The signal handler only writes a byte to a pipe that the event loop watches.
// Create it once the application object exists; ending it restores the default actions.
class TerminationSignals {
public:
    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    int readEnd_ = -1;
    int writeEnd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace vorla
