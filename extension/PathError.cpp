#include "extension/PathError.hpp"

namespace vorla::extension {

PathError::PathError(Kind kind, std::string path)
    : std::runtime_error("could not create directory " + path), kind_(kind),
      path_(std::move(path)) {}

PathError PathError::createDirectory(std::string path) {
    return PathError(Kind::createDirectory, std::move(path));
}

} // namespace vorla::extension
