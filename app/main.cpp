#include "app/CommandLine.hpp"
#include "app/MenuBarApp.hpp"

int main(int argc, char* argv[]) {
    vorla::runCommandLine(argc, argv);
    return vorla::runMenuBarApp(argc, argv);
}
