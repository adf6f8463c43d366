#pragma once

#include <cstdlib>

namespace vorla::logging {

// A lock primitive that fails leaves the process unable to trust its own state: stop at once.
inline void stopOnLockFailure(int posixResult) {
    if (posixResult != 0) {
        std::abort();
    }
}

} // namespace vorla::logging
