#pragma once

#include <chrono>

namespace vorla::foundation {

// A point in time, as the system clock keeps it.
using Date = std::chrono::system_clock::time_point;

} // namespace vorla::foundation
