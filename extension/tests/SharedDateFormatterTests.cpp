#include "extension/SharedDateFormatter.hpp"
#include "extension/records/RecordContext.hpp"

#include <cstdlib>
#include <gtest/gtest.h>

namespace vorla::extension {
namespace {

// The machine's zone and language must not show in the text.
const bool foreignMachine = (setenv("TZ", "Asia/Kolkata", 1), setenv("LANG", "de_DE.UTF-8", 1),
                             setenv("LC_ALL", "de_DE.UTF-8", 1), true);

TEST(SharedDateFormatter, WritesUtcWithThreeFractionDigitsAndZ) {
    const auto formatter = makeSharedDateFormatter();
    using namespace std::chrono;
    const foundation::Date date = sys_days(year(2024) / 5 / 1) + hours(10) + milliseconds(7);
    EXPECT_EQ(formatter->string(date), "2024-05-01T10:00:00.007Z");
    EXPECT_EQ(formatter->string(sys_days(year(1999) / 12 / 31) + hours(23) + minutes(59) +
                                seconds(59) + milliseconds(999)),
              "1999-12-31T23:59:59.999Z");
}

// Kernel times across the whole range of four-digit years, and what lies beyond it.
TEST(SharedDateFormatter, WritesEveryFourDigitYearAndHoldsTimesBeyondAtItsEnds) {
    const auto formatter = makeSharedDateFormatter();
    const struct {
        int64_t seconds;
        long nanoseconds;
        const char* text;
    } rows[] = {
        {-1, 999'500'000, "1969-12-31T23:59:59.999Z"},
        {-12'219'292'801, 0, "1582-10-04T23:59:59.000Z"},
        {-12'219'292'800, 0, "1582-10-15T00:00:00.000Z"},
        {-62'135'769'600, 0, "0001-01-01T00:00:00.000Z"},
        {-62'135'769'601, 0, "0001-01-01T00:00:00.000Z"},
        {INT64_MIN, 999'999'999, "0001-01-01T00:00:00.999Z"},
        {951'825'600, 0, "2000-02-29T12:00:00.000Z"},
        {4'107'585'600, 0, "2100-03-01T12:00:00.000Z"},
        {9'000'000'001, 0, "2255-03-14T16:00:01.000Z"},
        {253'402'300'799, 999'999'999, "9999-12-31T23:59:59.999Z"},
        {253'402'300'800, 0, "9999-12-31T23:59:59.000Z"},
        {INT64_MAX, 0, "9999-12-31T23:59:59.000Z"},
    };
    for (const auto& row : rows) {
        const struct timespec time { row.seconds, row.nanoseconds };
        EXPECT_EQ(formatter->string(records::dateOf(time)), row.text) << row.seconds;
    }
}

} // namespace
} // namespace vorla::extension
