#include "app/CommandLine.hpp"
#include "app/MenuBarApp.hpp"

int main(int argc, char* argv[]) {
    vorla::app::runCommandLine(argc, argv);
    return vorla::app::runMenuBarApp(argc, argv);
}
