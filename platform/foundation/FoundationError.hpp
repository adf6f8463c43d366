#pragma once

#include <stdexcept>
#include <string>

namespace vorla::foundation {

// A failed file-system call. what() is the localized description: the operation, the path
// and the system's reason.
class FoundationError : public std::runtime_error {
public:
    FoundationError(const std::string& description, int code)
        : std::runtime_error(description), code_(code) {}

    // The errno value behind the failure (0 when there is none).
    int code() const { return code_; }

private:
    int code_;
};

// A FoundationError for the operation on the path, with the current errno as its reason.
[[noreturn]] void throwSystemError(const std::string& operation, const std::string& path);

} // namespace vorla::foundation
