#include "app/ui/TerminationSignals.hpp"

#include "platform/dispatch/Dispatch.hpp"

#include <QSocketNotifier>

namespace vorla::app {

TerminationSignals::TerminationSignals(std::function<void()> onSignal) {
    const int descriptor = dispatch::watchStopRequests();
    // Without it the signals keep their default action, which ends the app too.
    if (descriptor < 0) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [onSignal = std::move(onSignal)] {
                         if (dispatch::takeStopRequest()) {
                             onSignal();
                         }
                     });
}

TerminationSignals::~TerminationSignals() = default;

} // namespace vorla::app
