#include "extension/records/RecordContext.hpp"

#include "extension/records/Timestamp.hpp"

#include <algorithm>

namespace vorla::records {

namespace {

// The first and the last second that a four-digit year can write: 0001-01-01T00:00:00Z and
// 9999-12-31T23:59:59Z. The formatter's calendar is Julian before October 1582, so its year 1
// begins two days before the Gregorian one would.
constexpr int64_t firstSecond = -62'135'769'600;
constexpr int64_t lastSecond = 253'402'300'799;

foundation::Date dateOf(int64_t seconds, std::chrono::nanoseconds fraction) {
    const auto clamped = std::chrono::seconds(std::clamp(seconds, firstSecond, lastSecond));
    return foundation::Date(clamped) +
           std::chrono::duration_cast<foundation::Date::duration>(fraction);
}

} // namespace

nlohmann::json accessRecord(const RecordContext& context, std::string_view event,
                            nlohmann::json fields) {
    fields["event"] = event;
    return {{"log", std::move(fields)}, {"timestamp", timestampText(context.now())}};
}

foundation::Date dateOf(const struct timeval& time) {
    return dateOf(time.tv_sec,
                  std::chrono::microseconds(std::clamp<int64_t>(time.tv_usec, 0, 999'999)));
}

foundation::Date dateOf(const struct timespec& time) {
    return dateOf(time.tv_sec,
                  std::chrono::nanoseconds(std::clamp<int64_t>(time.tv_nsec, 0, 999'999'999)));
}

} // namespace vorla::records
