#include "extension/records/UserNameCache.hpp"

#include <gtest/gtest.h>

#include <grp.h>
#include <map>
#include <pwd.h>

namespace vorla::records {
namespace {

using std::chrono::seconds;
using TimePoint = std::chrono::steady_clock::time_point;

// A database whose names can be changed under the cache, counting the questions it is asked.
struct FakeDatabase {
    std::map<std::uint32_t, std::string> names;
    int queries = 0;

    UserNameCache::Lookup lookup() {
        return [this](std::uint32_t id) {
            ++queries;
            const auto found = names.find(id);
            return found == names.end() ? std::string() : found->second;
        };
    }
};

struct CacheWithFakes : ::testing::Test {
    FakeDatabase users{{{0, "root"}, {501, "alice"}}};
    FakeDatabase groups{{{0, "wheel"}, {20, "staff"}}};
    TimePoint now{};
    UserNameCache cache{users.lookup(), groups.lookup(), [this] { return now; }};
};

TEST(UserNameCacheTest, GivesWhatTheSystemDatabasesSay) {
    UserNameCache cache;
    const passwd* root = getpwuid(0);
    const group* rootGroup = getgrgid(0);
    ASSERT_NE(root, nullptr);
    ASSERT_NE(rootGroup, nullptr);
    EXPECT_EQ(cache.userName(0), root->pw_name);
    EXPECT_EQ(cache.groupName(0), rootGroup->gr_name);
    // An id that no account has.
    ASSERT_EQ(getpwuid(4294967294u - 7), nullptr);
    EXPECT_EQ(cache.userName(4294967294u - 7), "");
}

// Entries expire on it as on the steady clock: another clock's origin or unit would keep them
// for ever or not at all. It lags the steady clock by at most a tick.
TEST(UserNameCacheTest, TheCoarseClockStandsWithTheSteadyOne) {
    for (int reading = 0; reading < 100; ++reading) {
        const auto before = std::chrono::steady_clock::now();
        const auto coarse = UserNameCache::coarseNow();
        const auto after = std::chrono::steady_clock::now();
        EXPECT_LE(coarse, after);
        EXPECT_GE(coarse, before - seconds(1));
    }
}

TEST_F(CacheWithFakes, AsksOncePerIdWhileTheEntryLives) {
    EXPECT_EQ(cache.userName(501), "alice");
    EXPECT_EQ(cache.groupName(20), "staff");
    EXPECT_EQ(cache.userName(42), "");
    now += UserNameCache::lifetime - seconds(1);
    EXPECT_EQ(cache.userName(501), "alice");
    EXPECT_EQ(cache.userName(42), "");
    EXPECT_EQ(cache.groupName(20), "staff");
    EXPECT_EQ(users.queries, 2);
    EXPECT_EQ(groups.queries, 1);
}

TEST_F(CacheWithFakes, UsersAndGroupsAreKeptApart) {
    EXPECT_EQ(cache.userName(0), "root");
    EXPECT_EQ(cache.groupName(0), "wheel");
}

TEST_F(CacheWithFakes, ExpiredEntriesAreAskedForAgain) {
    EXPECT_EQ(cache.userName(501), "alice");
    EXPECT_EQ(cache.userName(600), "");
    users.names[501] = "alice2";
    users.names[600] = "newcomer";
    now += UserNameCache::lifetime;
    EXPECT_EQ(cache.userName(501), "alice2");
    EXPECT_EQ(cache.userName(600), "newcomer");
    EXPECT_EQ(users.queries, 4);
}

TEST_F(CacheWithFakes, HoldsNoMoreThanItsCapacity) {
    for (std::uint32_t id = 1000; id < 1000 + 3 * UserNameCache::capacity; ++id) {
        users.names[id] = "user" + std::to_string(id);
        now += std::chrono::milliseconds(1);
        ASSERT_EQ(cache.userName(id), "user" + std::to_string(id));
    }
    const int asked = users.queries;
    // The newest ids are still known, the oldest had to give way.
    EXPECT_EQ(cache.userName(999 + 3 * UserNameCache::capacity),
              "user" + std::to_string(999 + 3 * UserNameCache::capacity));
    EXPECT_EQ(users.queries, asked);
    EXPECT_EQ(cache.userName(1000), "user1000");
    EXPECT_EQ(users.queries, asked + 1);
}

} // namespace
} // namespace vorla::records
