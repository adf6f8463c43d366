#pragma once

#include "app/ExtensionRequests.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace vorla::app {

// The command given on the command line; its raw values are the command words.
enum class State { initial, on, off };

// The case whose raw value is exactly this word ("init", "load", "unload").
std::optional<State> stateFromRawValue(std::string_view word);
// The case's own name ("initial", "on", "off"), which one failure message shows.
std::string_view caseName(State state);
// The command word of the case.
std::string_view rawValue(State state);

// The command line's link to the system-extension service: it asks for the extension's
// properties, makes at most one follow-up request, prints one line per outcome and ends the
// process with the command's status.
class ExtensionLoader : public ExtensionRequests {
public:
    // Ends the process with a status; tests record it instead.
    using Exit = std::function<void(int status)>;

    ExtensionLoader(system_extensions::Manager& service, std::ostream& output, Exit exit);

    // Set once from the command, before the first request.
    State state = State::initial;

    void activate();

    system_extensions::ReplacementAction
    actionForReplacingExtension(const system_extensions::Request& request,
                                const system_extensions::Properties& existing,
                                const system_extensions::Properties& replacement) override;
    void requestNeedsUserApproval(const system_extensions::Request& request) override;
    void didFinishWithResult(const system_extensions::Request& request,
                             system_extensions::RequestResult result) override;
    void didFailWithError(const system_extensions::Request& request,
                          const system_extensions::Error& error) override;
    void foundProperties(const system_extensions::Request& request,
                         const std::vector<system_extensions::Properties>& properties) override;

    // The line that says the command was ended by the signal before its outcome, and what it
    // left behind: an approval still pending, and how to withdraw it.
    std::string interruptionMessage(int signal) const;

private:
    // False when the line could not be written.
    bool write(std::string_view line) const;
    // A line that cannot be written ends the command with status 1.
    void print(std::string_view line) const;
    void printAndExit(std::string_view line, int status) const;

    std::ostream& output_;
    Exit exit_;
    bool awaitingApproval_ = false;
};

// Ends the process with the status after flushing standard output.
[[noreturn]] void exitAfterFlushing(int status);

// Created on first use with the machine's service, standard output and exitAfterFlushing.
ExtensionLoader& sharedExtensionLoader();

} // namespace vorla::app
