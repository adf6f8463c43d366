#include "sinks/FileError.hpp"

#include <utility>

namespace vorla {

namespace {

std::string describe(FileError::Kind kind, const foundation::URL& url,
                     const std::optional<std::string>& permission) {
    switch (kind) {
    case FileError::Kind::isNotFile:
        return url.description() + " is not a file";
    case FileError::Kind::invalidPermission:
        return "invalid file permission. file: " + url.description() +
               ", permission: " + permission.value_or("");
    case FileError::Kind::creatingDirectoryFailed:
        return "failed to create a directory: " + url.description();
    case FileError::Kind::creatingFileFailed:
        return "failed to create a file: " + url.description();
    case FileError::Kind::openingForWritingFailed:
        return "failed to open a file for writing: " + url.description();
    case FileError::Kind::deletingFailed:
        return "failed to delete a file: " + url.description();
    }
    return {};
}

} // namespace

FileError::FileError(Kind kind, foundation::URL url, std::optional<std::string> permission,
                     int code)
    : kind_(kind), url_(std::move(url)), permission_(std::move(permission)), code_(code),
      errorDescription_(describe(kind_, url_, permission_)) {}

FileError FileError::isNotFile(foundation::URL url) {
    return FileError(Kind::isNotFile, std::move(url), std::nullopt, 0);
}

FileError FileError::invalidPermission(foundation::URL url, std::string permission) {
    return FileError(Kind::invalidPermission, std::move(url), std::move(permission), 0);
}

FileError FileError::creatingDirectoryFailed(foundation::URL url, int code) {
    return FileError(Kind::creatingDirectoryFailed, std::move(url), std::nullopt, code);
}

FileError FileError::creatingFileFailed(foundation::URL url, int code) {
    return FileError(Kind::creatingFileFailed, std::move(url), std::nullopt, code);
}

FileError FileError::openingForWritingFailed(foundation::URL url, int code) {
    return FileError(Kind::openingForWritingFailed, std::move(url), std::nullopt, code);
}

FileError FileError::deletingFailed(foundation::URL url, int code) {
    return FileError(Kind::deletingFailed, std::move(url), std::nullopt, code);
}

} // namespace vorla
