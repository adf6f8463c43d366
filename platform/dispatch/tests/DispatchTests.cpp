#include "platform/dispatch/Dispatch.hpp"
#include "tests/support/BoundedWait.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <poll.h>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using vorla::dispatch::Group;
using vorla::dispatch::Queue;

TEST(SerialQueue, RunsItemsOneAtATimeInSubmissionOrder) {
    const Queue queue("test.order");
    std::vector<int> seen;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    for (int index = 0; index < 500; ++index) {
        queue.async([&, index] {
            if (running.fetch_add(1) != 0) {
                overlapped = true;
            }
            seen.push_back(index);
            running.fetch_sub(1);
        });
    }
    vorla::bounded::run("the queue's items", [&] { queue.sync([] {}); });
    ASSERT_EQ(seen.size(), 500U);
    for (int index = 0; index < 500; ++index) {
        EXPECT_EQ(seen[static_cast<std::size_t>(index)], index);
    }
    EXPECT_FALSE(overlapped);
}

TEST(SerialQueue, SyncFromItsOwnQueueDoesNotDeadlock) {
    const Queue queue("test.reentrant");
    bool inner = false;
    vorla::bounded::run("a sync from the queue's own work",
                        [&] { queue.sync([&] { queue.sync([&] { inner = true; }); }); });
    EXPECT_TRUE(inner);
}

TEST(SerialQueue, CopiesShareOneQueue) {
    const Queue queue("test.copies");
    const Queue copy = queue;
    EXPECT_EQ(queue, copy);
    EXPECT_NE(queue, Queue("test.copies"));
    EXPECT_EQ(copy.label(), "test.copies");
}

TEST(Drain, WaitsForQueuedWorkAndTasksThatQueueMore) {
    const Queue queue("test.drain");
    std::atomic<int> done{0};
    vorla::dispatch::runTask([&] {
        std::this_thread::sleep_for(20ms);
        queue.async([&] { ++done; });
        ++done;
    });
    vorla::bounded::run("the task and the work it queued", vorla::dispatch::drain);
    EXPECT_EQ(done.load(), 2);
}

TEST(Group, WaitSucceedsOnceBalancedAndTimesOutOtherwise) {
    const Group group;
    EXPECT_TRUE(group.wait(std::chrono::steady_clock::now()));
    group.enter();
    EXPECT_FALSE(group.wait(std::chrono::steady_clock::now() + 10ms));
    vorla::dispatch::runTask([group] { group.leave(); });
    EXPECT_TRUE(group.wait(std::chrono::steady_clock::now() + 5s));
}

TEST(MainQueue, ItemsRunOnlyWhereTheMainQueueIsRun) {
    std::thread::id ranOn;
    vorla::dispatch::mainQueue().async([&] { ranOn = std::this_thread::get_id(); });
    EXPECT_EQ(ranOn, std::thread::id());
    vorla::dispatch::runMainQueueItems();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(MainLoop, StopDrainsQueuesRunsHooksAndExitsWithZero) {
    EXPECT_EXIT(
        {
            const Queue queue("test.stop");
            vorla::dispatch::onStop([] { std::fputs("hook ", stderr); });
            queue.async([] {
                std::this_thread::sleep_for(50ms);
                std::fputs("drained", stderr);
            });
            vorla::dispatch::requestStop();
            const vorla::bounded::Watchdog watchdog("the main loop to stop");
            vorla::dispatch::dispatchMain();
        },
        testing::ExitedWithCode(0), "hook drained");
}

TEST(MainLoop, SigtermStopsTheLoop) {
    EXPECT_EXIT(
        {
            vorla::dispatch::runTask([] {
                std::this_thread::sleep_for(20ms);
                std::raise(SIGTERM);
            });
            const vorla::bounded::Watchdog watchdog("the main loop to stop on SIGTERM");
            vorla::dispatch::dispatchMain();
        },
        testing::ExitedWithCode(0), "");
}

// What an event loop of its own does: watch the stop descriptor, then ask whether it was a stop.
int statusOfAnotherLoopAfterSigterm() {
    const int descriptor = vorla::dispatch::watchStopRequests();
    if (descriptor < 0 || vorla::dispatch::takeStopRequest()) {
        return 1;
    }
    std::raise(SIGTERM);
    pollfd waiting{descriptor, POLLIN, 0};
    const bool woken = poll(&waiting, 1, 5000) == 1;
    return woken && vorla::dispatch::takeStopRequest() ? 0 : 2;
}

TEST(MainLoop, AnotherEventLoopLearnsOfSigterm) {
    EXPECT_EXIT(std::_Exit(statusOfAnotherLoopAfterSigterm()), testing::ExitedWithCode(0), "");
}
