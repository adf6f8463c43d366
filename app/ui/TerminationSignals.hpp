#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace vorla::app {

// Turns SIGTERM and SIGINT into a call inside the event loop, so the app ends the way its quit
// button ends it. The signals ask the dispatch main loop's stop, whose wake descriptor the
// event loop watches. Create it once the application object exists.
class TerminationSignals {
public:
    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace vorla::app
