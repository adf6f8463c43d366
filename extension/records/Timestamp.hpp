#pragma once

#include "platform/foundation/Date.hpp"

#include <cstddef>
#include <string>

namespace vorla::records {

// Writes the date as the shared date formatter writes it, "yyyy-MM-ddTHH:mm:ss.SSSZ" in UTC,
// down to the millisecond (rounded towards the past), on the same calendar: Julian before
// 1582-10-15 and Gregorian from then on, and hands back where it ends, at most
// maximumTimestampSize bytes on. Written by arithmetic alone, without a locale or a lock,
// because every record carries a timestamp. Years up to 9999 have four digits, later ones all
// theirs; a year before 0001 is written as its year of the era before Christ (0 as 0001), as
// the formatter writes it.
constexpr std::size_t maximumTimestampSize = 48;
char* writeTimestamp(char* out, foundation::Date date);

// The date's text as writeTimestamp writes it.
std::string timestampText(foundation::Date date);

} // namespace vorla::records
