#include "platform/foundation/FreeName.hpp"

#include "platform/foundation/FoundationError.hpp"

#include <cerrno>

namespace vorla::foundation {

std::string takeFreeName(unsigned attempts, const std::function<std::string(unsigned)>& nameFor,
                         const std::function<void(const std::string& name)>& take) {
    for (unsigned attempt = 0;; ++attempt) {
        std::string name = nameFor(attempt);
        try {
            take(name);
            return name;
        } catch (const FoundationError& error) {
            if (error.code() != EEXIST || attempt + 1 >= attempts) {
                throw;
            }
        }
    }
}

} // namespace vorla::foundation
