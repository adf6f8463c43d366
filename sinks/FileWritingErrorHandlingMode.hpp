#pragma once

#include <cstdint>

namespace vorla {

// What a file sink does when a line cannot be written.
enum class FileWritingErrorHandlingMode : std::uint8_t {
    // Report nothing; the line is lost.
    assert = 0,
    // Print the append message; the line is lost.
    print = 1,
    // Print the append message and keep the line: it is written ahead of the next line that
    // can be written (a missing log file is created again first).
    force = 2,
};

} // namespace vorla
