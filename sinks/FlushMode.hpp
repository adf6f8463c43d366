#pragma once

#include <cstdint>

namespace vorla {

// Whether a file sink synchronises each line to storage before closing the file.
enum class FlushMode : std::uint8_t {
    always = 0,
    manual = 1,
};

} // namespace vorla
