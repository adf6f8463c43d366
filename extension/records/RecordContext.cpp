#include "extension/records/RecordContext.hpp"

#include <algorithm>

namespace vorla::records {

namespace {

foundation::Date dateOf(int64_t seconds, std::chrono::nanoseconds fraction) {
    // About 285 years either side of 1970: far enough for any real time, near enough that
    // the nanoseconds of a Date cannot overflow.
    constexpr int64_t limit = 9'000'000'000;
    const auto clamped = std::chrono::seconds(std::clamp(seconds, -limit, limit));
    return foundation::Date(
        std::chrono::duration_cast<foundation::Date::duration>(clamped + fraction));
}

} // namespace

nlohmann::json accessRecord(const RecordContext& context, std::string_view event,
                            nlohmann::json fields) {
    fields["event"] = event;
    return {{"log", std::move(fields)}, {"timestamp", context.dateFormatter.string(context.now())}};
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
