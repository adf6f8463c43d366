#include "log_facade/Lock.hpp"
#include "log_facade/ReadWriteLock.hpp"
#include "tests/support/BoundedWait.hpp"

#include <gtest/gtest.h>

#include <mutex>
#include <shared_mutex>
#include <thread>
#include <vector>

namespace vorla::logging {
namespace {

// Writers that are not mutually excluded lose increments (and show up under ThreadSanitizer).
template <typename Increment> long countWithThreads(Increment increment) {
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                increment(counter);
            }
        });
    }
    bounded::join(threads, "the threads that take the lock");
    return counter;
}

TEST(LocksTest, ReadWriteLockExcludesWritersAndLetsReadersShare) {
    ReadWriteLock lock;
    EXPECT_EQ(countWithThreads([&](long& counter) {
                  std::unique_lock writer(lock);
                  ++counter;
              }),
              40000);

    std::shared_lock first(lock);
    std::shared_lock second(lock);
    EXPECT_TRUE(first.owns_lock() && second.owns_lock());
}

TEST(LocksTest, LockExcludesOthers) {
    Lock lock;
    EXPECT_EQ(countWithThreads([&](long& counter) {
                  std::lock_guard guard(lock);
                  ++counter;
              }),
              40000);
}

} // namespace
} // namespace vorla::logging
