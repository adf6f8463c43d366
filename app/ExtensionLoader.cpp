#include "app/ExtensionLoader.hpp"
#include "app/ExtensionRules.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>

namespace vorla::app {

using system_extensions::Request;
using system_extensions::RequestResult;

namespace {

struct StateNames {
    State state;
    std::string_view rawValue;
    std::string_view caseName;
};

constexpr StateNames stateNames[] = {
    {State::initial, "init", "initial"},
    {State::on, "load", "on"},
    {State::off, "unload", "off"},
};

const StateNames& namesOf(State state) {
    return *std::find_if(std::begin(stateNames), std::end(stateNames),
                         [state](const StateNames& names) { return names.state == state; });
}

} // namespace

std::string_view caseName(State state) {
    return namesOf(state).caseName;
}

std::string_view rawValue(State state) {
    return namesOf(state).rawValue;
}

std::optional<State> stateFromRawValue(std::string_view word) {
    for (const StateNames& names : stateNames) {
        if (names.rawValue == word) {
            return names.state;
        }
    }
    return std::nullopt;
}

ExtensionLoader::ExtensionLoader(system_extensions::Manager& service, std::ostream& output,
                                 Exit exit)
    : ExtensionRequests(service), output_(output), exit_(std::move(exit)) {}

void ExtensionLoader::activate() {
    submitActivation();
}

bool ExtensionLoader::write(std::string_view line) const {
    // Flushed at once: a caller may wait for a line while the process keeps running.
    output_ << line << '\n' << std::flush;
    return static_cast<bool>(output_);
}

void ExtensionLoader::print(std::string_view line) const {
    if (!write(line)) {
        exit_(EXIT_FAILURE);
    }
}

void ExtensionLoader::printAndExit(std::string_view line, int status) const {
    exit_(write(line) ? status : EXIT_FAILURE);
}

system_extensions::ReplacementAction
ExtensionLoader::actionForReplacingExtension(const Request&, const system_extensions::Properties&,
                                             const system_extensions::Properties&) {
    return system_extensions::ReplacementAction::replace;
}

void ExtensionLoader::requestNeedsUserApproval(const Request&) {
    awaitingApproval_ = true;
    print("Allow loading vorla in System Settings > Privacy & Security");
}

void ExtensionLoader::didFinishWithResult(const Request&, RequestResult result) {
    switch (result) {
    case RequestResult::completed:
        printAndExit(state == State::on ? "vorla was successfully loaded"
                                        : "vorla was successfully unloaded",
                     EXIT_SUCCESS);
        return;
    case RequestResult::willCompleteAfterReboot:
        printAndExit("Operation will only take full effect after reboot", EXIT_SUCCESS);
        return;
    }
    printAndExit("Unknown operation result", EXIT_SUCCESS);
}

void ExtensionLoader::didFailWithError(const Request&, const system_extensions::Error& error) {
    if (error.isSystemExtensionError() &&
        error.code == static_cast<long>(system_extensions::ErrorCode::requestSuperseded)) {
        print(caseName(state));
        printAndExit(state == State::on ? "Already unloaded by GUI app" : "Request already pending",
                     EXIT_FAILURE);
        return;
    }
    printAndExit(commandLineMessageForError(error), EXIT_FAILURE);
}

void ExtensionLoader::foundProperties(
    const Request&, const std::vector<system_extensions::Properties>& properties) {
    const auto match = matchingProperties(properties, extensionIdentifier);
    switch (state) {
    case State::on:
        if (!match) {
            activate();
        } else if (match->isAwaitingUserApproval) {
            printAndExit("vorla is waiting for user approval", EXIT_SUCCESS);
        } else {
            printAndExit("vorla is already loaded", EXIT_SUCCESS);
        }
        return;
    case State::off:
        if (match) {
            deactivate();
        } else {
            printAndExit("vorla is already unloaded", EXIT_SUCCESS);
        }
        return;
    case State::initial:
        return;
    }
}

std::string ExtensionLoader::interruptionMessage(int signal) const {
    const std::string interrupted =
        "vorla: " + std::string(rawValue(state)) + " was interrupted (" + ::strsignal(signal) + ")";
    if (awaitingApproval_) {
        return interrupted +
               " while it waited for user approval; the request stays pending, and every "
               "\"vorla load\" says so, until \"vorla unload\" withdraws it";
    }
    return interrupted;
}

void exitAfterFlushing(int status) {
    // A message that never reached its reader (a full disk, a closed pipe) is a failure. A
    // line whose write failed just before this call left its cause in errno.
    const bool failedBefore = !std::cout;
    const int causeBefore = errno;
    errno = 0;
    if (failedBefore || !std::cout.flush()) {
        const int error = failedBefore ? causeBefore : errno;
        std::fprintf(stderr, "vorla: cannot write the output (%s)\n",
                     error != 0 ? std::strerror(error) : "write error");
        std::exit(EXIT_FAILURE);
    }
    std::exit(status);
}

ExtensionLoader& sharedExtensionLoader() {
    // Never released: the process ends from one of its own callbacks.
    static const auto* const loader =
        new std::shared_ptr<ExtensionLoader>(std::make_shared<ExtensionLoader>(
            system_extensions::Manager::shared(), std::cout, exitAfterFlushing));
    return **loader;
}

} // namespace vorla::app
