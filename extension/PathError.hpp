#pragma once

#include <stdexcept>
#include <string>

namespace vorla::extension {

// The support folder could not be created. Only the folder's plain path is kept: the file
// manager's reason is deliberately not reported.
class PathError : public std::runtime_error {
public:
    enum class Kind { createDirectory };

    static PathError createDirectory(std::string path);

    Kind kind() const { return kind_; }
    const std::string& path() const { return path_; }

private:
    PathError(Kind kind, std::string path);

    Kind kind_;
    std::string path_;
};

} // namespace vorla::extension
