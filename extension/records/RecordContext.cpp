#include "extension/records/RecordContext.hpp"

#include <algorithm>

namespace vorla::records {

namespace {

// The first and the last second that a four-digit year can write: 0001-01-01T00:00:00Z and
// 9999-12-31T23:59:59Z. The formatter's calendar is Julian before October 1582, so its year 1
// begins two days before the Gregorian one would.
constexpr int64_t firstSecond = -62'135'769'600;
constexpr int64_t lastSecond = 253'402'300'799;

// Room for most access records in one allocation: an authentication holds its instigator's
// three tokens.
constexpr std::size_t typicalAccessRecordSize = 1024;

foundation::Date dateOf(int64_t seconds, std::chrono::nanoseconds fraction) {
    const auto clamped = std::chrono::seconds(std::clamp(seconds, firstSecond, lastSecond));
    return foundation::Date(clamped) +
           std::chrono::duration_cast<foundation::Date::duration>(fraction);
}

} // namespace

JSONLine beginAccessRecord() {
    JSONLine line(typicalAccessRecordSize);
    line.beginObject().key("log").beginObject();
    return line;
}

std::string endAccessRecord(JSONLine& line, const RecordContext& context) {
    line.endObject().key("timestamp").timestamp(context.now()).endObject();
    return line.take();
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
