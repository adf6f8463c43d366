#pragma once

#include <exception>
#include <string>

namespace vorla::extension {

// The exit statuses of a failed start-up. Each cause has its own status so that whoever
// started the extension can tell the causes apart.
enum class ExitStatus : int {
    unhandledError = 1,
    directoryNotCreated = 2,
    configNotSaved = 3,
    loggerNotCreated = 4,
    clientNotCreated = 5,
    subscriptionRefused = 6,
};

// What the entry function reports, at level error, before it exits with `status`.
struct StartupFailure {
    std::string message;
    ExitStatus status;

    friend bool operator==(const StartupFailure&, const StartupFailure&) = default;
};

// The message and status for an error thrown while the extension starts. The cases are tested
// in a fixed order; an error that none of them matches is an unhandled error.
StartupFailure startupFailure(const std::exception_ptr& error);

} // namespace vorla::extension
