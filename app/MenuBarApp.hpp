#pragma once

namespace vorla::app {

// Starts the app in the menu bar and returns the process's exit status when it ends.
int runMenuBarApp(int argc, char* argv[]);

} // namespace vorla::app
