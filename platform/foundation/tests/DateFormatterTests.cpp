#include "platform/foundation/DateFormatter.hpp"
#include "platform/foundation/OperatingSystem.hpp"
#include "platform/foundation/UUID.hpp"
#include "platform/foundation/tests/TextShape.hpp"
#include "tests/support/BoundedWait.hpp"

#include <cstdlib>
#include <gtest/gtest.h>
#include <set>
#include <thread>
#include <vector>

namespace vorla::foundation {
namespace {

const Date mayFirst = Date(std::chrono::seconds(1714557600)) + std::chrono::milliseconds(123);

DateFormatter formatter(std::string_view locale, std::string_view pattern, std::string_view zone) {
    DateFormatter format;
    format.setLocale(locale);
    format.setDateFormat(pattern);
    format.setTimeZone(zone);
    return format;
}

TEST(DateFormatterTest, FormatsWithLocalePatternAndZone) {
    const struct {
        const char* pattern;
        const char* zone;
        const char* expected;
    } rows[] = {
        {"yyyy-MM-dd'T'HH:mm:ss.SSSZZZZZ", "UTC", "2024-05-01T10:00:00.123Z"},
        {"yyyyMMdd'T'HHmmssZZZZZ", "UTC", "20240501T100000Z"},
        {"yyyy-MM-dd HH:mm ZZZZZ", "Asia/Tokyo", "2024-05-01 19:00 +09:00"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(formatter("en_US_POSIX", row.pattern, row.zone).string(mayFirst), row.expected)
            << row.pattern;
    }
    EXPECT_EQ(DateFormatter().string(mayFirst), "");
    // A setting made after a date was formatted applies to the next one.
    auto changed = formatter("en_US_POSIX", "HH:mm", "Asia/Tokyo");
    EXPECT_EQ(changed.string(mayFirst), "19:00");
    changed.setTimeZone("UTC");
    EXPECT_EQ(changed.string(mayFirst), "10:00");
}

TEST(DateFormatterTest, UnknownZoneFallsBackToTheSystemZone) {
    setenv("TZ", "UTC", 1);
    const auto known = formatter("en_US_POSIX", "HH:mm", "Asia/Tokyo");
    auto unknown = known;
    unknown.setTimeZone("Nowhere/Atlantis");
    EXPECT_EQ(known.string(mayFirst), "19:00");
    EXPECT_EQ(formatter("en_US_POSIX", "HH:mm", "Nowhere/Atlantis").string(mayFirst),
              formatter("en_US_POSIX", "HH:mm", "").string(mayFirst));
    EXPECT_EQ(unknown.string(mayFirst), formatter("en_US_POSIX", "HH:mm", "").string(mayFirst));
}

TEST(DateFormatterTest, OneFormatterServesManyThreads) {
    const auto shared = formatter("en_US_POSIX", "yyyy-MM-dd'T'HH:mm:ss.SSSZZZZZ", "UTC");
    std::vector<std::thread> threads;
    std::atomic<int> wrong = 0;
    for (int thread = 0; thread < 8; ++thread) {
        threads.emplace_back([&, thread] {
            const Date date = mayFirst + std::chrono::seconds(thread);
            const std::string expected = "2024-05-01T10:00:0" + std::to_string(thread) + ".123Z";
            for (int round = 0; round < 2000; ++round) {
                wrong += shared.string(date) != expected;
            }
        });
    }
    bounded::join(threads, "the threads that format dates");
    EXPECT_EQ(wrong, 0);
}

TEST(UUIDTest, LowerCaseCanonicalAndDistinct) {
    const auto canonical = [](const std::string& text) {
        return testing::matchesShape(text, "%%%%%%%%-%%%%-4%%%-%%%%-%%%%%%%%%%%%") &&
               std::string_view("89ab").find(text[19]) != std::string_view::npos;
    };
    std::set<std::string> seen;
    for (int count = 0; count < 100; ++count) {
        const std::string text = UUID().uuidString();
        EXPECT_TRUE(canonical(text)) << text;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 100U);
}

TEST(OperatingSystemTest, ComparesAgainstTheConfiguredVersion) {
    setenv("VORLA_OS_VERSION", "13.5.2", 1);
    EXPECT_TRUE(isOperatingSystemAtLeast(13, 5, 0));
    EXPECT_TRUE(isOperatingSystemAtLeast(13, 5, 2));
    EXPECT_FALSE(isOperatingSystemAtLeast(13, 5, 3));
    EXPECT_FALSE(isOperatingSystemAtLeast(14, 0, 0));
    EXPECT_TRUE(isOperatingSystemAtLeast(12, 9, 9));
}

} // namespace
} // namespace vorla::foundation
