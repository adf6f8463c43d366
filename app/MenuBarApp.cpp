#include "app/MenuBarApp.hpp"

#include "app/ui/VorlaApp.hpp"

namespace vorla::app {

int runMenuBarApp(int argc, char* argv[]) {
    return runVorlaApp(argc, argv);
}

} // namespace vorla::app
