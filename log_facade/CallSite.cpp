#include "log_facade/CallSite.hpp"

namespace vorla::logging {

CallSite::CallSite(SourceLocation location)
    : file(fileIDOfPath(location.file_name())), function(location.function_name()),
      line(location.line()) {}

std::string_view fileIDOfPath(std::string_view path) {
    const auto lastSlash = path.rfind('/');
    if (lastSlash == std::string_view::npos || lastSlash == 0) {
        return path;
    }
    const auto previousSlash = path.rfind('/', lastSlash - 1);
    return previousSlash == std::string_view::npos ? path : path.substr(previousSlash + 1);
}

} // namespace vorla::logging
