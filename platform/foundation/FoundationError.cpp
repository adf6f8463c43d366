#include "platform/foundation/FoundationError.hpp"

#include <cerrno>
#include <cstring>

namespace vorla::foundation {

void throwSystemError(const std::string& operation, const std::string& path) {
    const int code = errno;
    throw FoundationError(operation + " \"" + path + "\": " + std::strerror(code), code);
}

} // namespace vorla::foundation
