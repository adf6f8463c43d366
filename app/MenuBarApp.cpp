#include "app/MenuBarApp.hpp"

#include "app/ui/VorlaApp.hpp"
#include "platform/dispatch/Dispatch.hpp"

namespace vorla::app {

int runMenuBarApp(int argc, char* argv[]) {
    const int status = runVorlaApp(argc, argv);
    // SIGINT or SIGTERM ends the app as its quit button does, but the status says that a signal
    // ended it (130, 143), as a shell's would.
    const int signal = dispatch::stopSignal();
    return signal != 0 ? 128 + signal : status;
}

} // namespace vorla::app
