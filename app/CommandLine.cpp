#include "app/CommandLine.hpp"
#include "app/ExtensionLoader.hpp"
#include "platform/dispatch/Dispatch.hpp"

#include <cstdlib>
#include <iostream>
#include <string_view>

namespace vorla::app {

void printUsage(std::ostream& output) {
    output << "vorla system extension loader\n"
              "\n"
              "Usage:\n"
              "    vorla [command]\n"
              "\n"
              "Commnads:\n"
              "    load       load vorla system extension non-interactively\n"
              "    unload     unload vorla system extension non-interactively\n"
              "    help       print usage information\n";
}

void runCommandLine(int argc, char* argv[]) {
    if (argc < 2) {
        return;
    }
    const std::string_view command = argv[1];
    // Tools that start apps add these; they are no command of ours.
    if (command == "-NSDocumentRevisionsDebugMode" || command == "-NSTreatUnknownArgumentsAsOpen") {
        return;
    }
    if (command == "help") {
        printUsage(std::cout);
        exitAfterFlushing(EXIT_SUCCESS);
    }
    if (const auto state = stateFromRawValue(command)) {
        ExtensionLoader& loader = sharedExtensionLoader();
        loader.state = *state;
        // Ctrl-C or SIGTERM ends the request before its outcome: a failure, with the status a
        // shell gives a command that the signal ended (130, 143), so `vorla load && ...` stops.
        dispatch::onStop([&loader] {
            const int signal = dispatch::stopSignal();
            std::cerr << loader.interruptionMessage(signal) << std::endl;
            exitAfterFlushing(signal != 0 ? 128 + signal : EXIT_FAILURE);
        });
        loader.requestProperties();
        dispatch::dispatchMain();
    }
    std::cout << command << " command is not supported.\n";
    printUsage(std::cout);
    exitAfterFlushing(EXIT_FAILURE);
}

} // namespace vorla::app
