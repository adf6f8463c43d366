#include "app/MenuBarApp.hpp"

#include <cstdio>
#include <cstdlib>

namespace vorla {

int runMenuBarApp(int, char*[]) {
    std::fputs("vorla: the menu-bar app is not available in this build\n", stderr);
    return EXIT_SUCCESS;
}

} // namespace vorla
