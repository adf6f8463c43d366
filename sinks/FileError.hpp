#pragma once

#include "platform/foundation/URL.hpp"

#include <exception>
#include <optional>
#include <string>

namespace vorla {

// Why a file sink could not be created or a file could not be deleted. what() is the
// localized description.
class FileError : public std::exception {
public:
    enum class Kind {
        isNotFile,
        invalidPermission,
        creatingDirectoryFailed,
        creatingFileFailed,
        openingForWritingFailed,
        deletingFailed,
    };

    static FileError isNotFile(foundation::URL url);
    static FileError invalidPermission(foundation::URL url, std::string permission);
    // The failures of a system call keep its error number (0 when none is known).
    static FileError creatingDirectoryFailed(foundation::URL url, int code = 0);
    static FileError creatingFileFailed(foundation::URL url, int code = 0);
    static FileError openingForWritingFailed(foundation::URL url, int code = 0);
    static FileError deletingFailed(foundation::URL url, int code = 0);

    Kind kind() const { return kind_; }
    const foundation::URL& url() const { return url_; }
    // The refused permission text; only invalidPermission carries one.
    const std::optional<std::string>& permission() const { return permission_; }
    // The system's error number behind the failure; not part of the description or equality.
    int code() const { return code_; }

    const std::string& errorDescription() const { return errorDescription_; }
    const char* what() const noexcept override { return errorDescription_.c_str(); }

    friend bool operator==(const FileError& left, const FileError& right) {
        return left.kind_ == right.kind_ && left.url_ == right.url_ &&
               left.permission_ == right.permission_;
    }

private:
    FileError(Kind kind, foundation::URL url, std::optional<std::string> permission, int code);

    Kind kind_;
    foundation::URL url_;
    std::optional<std::string> permission_;
    int code_;
    std::string errorDescription_;
};

} // namespace vorla
