#pragma once

#include <ostream>

namespace vorla::app {

// Examines the command line once at launch. Returns, to let the menu-bar app start, only
// when no command was given; otherwise the process ends here or in a loader callback.
void runCommandLine(int argc, char* argv[]);

void printUsage(std::ostream& output);

} // namespace vorla::app
