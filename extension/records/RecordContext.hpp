#pragma once

#include "extension/records/JSONLine.hpp"
#include "extension/records/UserNameCache.hpp"
#include "platform/foundation/Date.hpp"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <sys/time.h>
#include <time.h>

namespace vorla::records {

using Clock = std::function<foundation::Date()>;

// What every record needs besides its payload: the names of users and groups, and the clock
// that tells an access record's moment of encoding.
struct RecordContext {
    UserNameCache& userNames;
    Clock now = foundation::now;
};

// The common shape of an access record, {"log": {...}, "timestamp": the moment of writing}:
// between the two calls the record writes the members of "log", "event" among them, in byte
// order of their keys.
JSONLine beginAccessRecord();
std::string endAccessRecord(JSONLine& line, const RecordContext& context);

// Moments of the kernel's time values. A time before the year 0001 or after 9999, which no
// four-digit year can show, is held to the first or the last second of that range.
foundation::Date dateOf(const struct timeval& time);
foundation::Date dateOf(const struct timespec& time);

} // namespace vorla::records
