#pragma once

namespace vorla::app {

// The menu-bar app: builds the status item and its popover and runs the event loop until the
// quit button, SIGTERM or SIGINT ends it. Returns the process's exit status. The command line
// has been examined before, so no command reaches this point.
int runVorlaApp(int argc, char* argv[]);

} // namespace vorla::app
