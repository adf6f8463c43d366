#pragma once

#include <chrono>

namespace vorla::foundation {

// A point in time on the system clock, to the microsecond: fine enough for every date the
// system writes (milliseconds) and wide enough for all of them, years 0001 to 9999 included,
// which nanoseconds in 64 bits are not (they end in 2262).
using Date = std::chrono::time_point<std::chrono::system_clock, std::chrono::microseconds>;

// The current moment as a Date.
inline Date now() {
    return std::chrono::time_point_cast<Date::duration>(std::chrono::system_clock::now());
}

} // namespace vorla::foundation
