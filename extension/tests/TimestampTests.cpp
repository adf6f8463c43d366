#include "extension/SharedDateFormatter.hpp"
#include "extension/records/Timestamp.hpp"

#include <gtest/gtest.h>

namespace vorla::extension {
namespace {

using namespace std::chrono;

// The direct writer must give the shared formatter's text for every moment: calendar switch,
// leap days of both calendars, rounding towards the past before 1970, and years beyond the
// four digits on either side.
TEST(Timestamp, WritesWhatTheSharedFormatterWrites) {
    const auto formatter = makeSharedDateFormatter();
    const auto check = [&](foundation::Date date) {
        EXPECT_EQ(records::timestampText(date), formatter->string(date))
            << date.time_since_epoch().count();
    };
    // Every fourth hour of three decades around the switch and of the leap years that the two
    // calendars see differently.
    for (const int from : {1575, 1695, 1895, 1995, 2095}) {
        const foundation::Date start = sys_days(year(from) / 1 / 1);
        for (int64_t hour = 0; hour < 24 * 366 * 10; hour += 4) {
            check(start + hours(hour) + milliseconds(hour % 1000));
        }
    }
    // Steps that fall on every time of day, across the whole range of four-digit years.
    const foundation::Date first = sys_days(year(1) / 1 / 1) - days(2);
    for (int64_t step = 0; step < 200'000; ++step) {
        check(first + seconds(step * 1'579'793) + microseconds(step * 7919 % 1'000'000));
    }
    // Before 1970 and around it, in fractions of a millisecond; and far beyond both ends.
    const foundation::Date epoch{};
    for (const int64_t micro : {-1'500'001, -1'000, -999, -501, -500, -1, 0, 1, 999, 1000}) {
        check(epoch + microseconds(micro));
    }
    for (const int64_t years : {-200'000, -10'000, -4713, -1, 1, 8030, 100'000, 200'000}) {
        check(epoch + seconds(years * 31'556'952) + milliseconds(17));
    }
}

} // namespace
} // namespace vorla::extension
