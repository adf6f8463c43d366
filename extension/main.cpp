#include "extension/ExitStatus.hpp"
#include "extension/Logger.hpp"
#include "extension/PathManager.hpp"
#include "extension/SharedDateFormatter.hpp"
#include "extension/SharedOSLogger.hpp"
#include "extension/VorlaRotationDelegate.hpp"
#include "extension/client.hpp"
#include "extension/config/ConfigLoader.hpp"
#include "platform/dispatch/Dispatch.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>

namespace {

constexpr const char* usage =
    "Usage: com.vorla.client.extension [--help]\n"
    "The vorla system extension: writes the events of VORLA_ES_SOURCE to its logs in\n"
    "/Library/Application Support/Vorla below VORLA_ROOT. It takes no arguments: `vorla load`\n"
    "starts it and `vorla unload` stops it.\n";

// Status 64 is EX_USAGE of sysexits.h, apart from the statuses of a failed start.
constexpr int usageStatus = 64;

// Settles the command line before anything else happens: a mistyped option must not make the
// support folder or wait for events. Returns only when there is no argument.
void acceptArguments(int argc, char** argv) {
    if (argc <= 1) {
        return;
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        std::exit(EXIT_SUCCESS);
    }
    std::fprintf(stderr, "com.vorla.client.extension: unknown argument: %s\n%s", argv[1], usage);
    std::exit(usageStatus);
}

} // namespace

// Builds everything the extension needs, in a fixed order, and then hands the main thread to
// the main loop for good. What is built here lives until the process ends: the main loop never
// returns, and a failed start ends the process with its status right where it is caught, so
// nothing below is ever released (releasing announces itself in the system log).
int main(int argc, char** argv) {
    acceptArguments(argc, argv);
    using namespace vorla;
    using namespace vorla::extension;
    std::shared_ptr<const Config> config;
    try {
        const PathManager pathManager;
        const auto dateFormatter = makeSharedDateFormatter();
        pathManager.ensureDirectories();
        config = loadConfig(pathManager);
        const auto logger = std::make_shared<const Logger>(
            pathManager, *config, dateFormatter, std::make_shared<VorlaRotationDelegate>());
        // A refused client or subscription ends the process here, reported in the error log.
        const ESClient client(config, logger);
        client.run();
        // Runs after the client's own stop hook, so no line comes after it.
        dispatch::onStop([logger] { logger->finishWriting(); });
        dispatch::dispatchMain();
    } catch (...) {
        const StartupFailure failure = startupFailure(std::current_exception());
        sharedOSLogger()->log(LogLevel::error, failure.message);
        std::exit(static_cast<int>(failure.status));
    }
}
