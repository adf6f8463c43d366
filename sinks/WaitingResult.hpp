#pragma once

namespace vorla {

// How a timed wait for the sinks ended.
enum class WaitingResult {
    success,
    timeout,
};

} // namespace vorla
