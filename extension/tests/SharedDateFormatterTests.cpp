#include "extension/SharedDateFormatter.hpp"

#include <cstdlib>
#include <gtest/gtest.h>

namespace vorla {
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

} // namespace
} // namespace vorla
