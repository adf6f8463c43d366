#include "platform/endpoint_security/BoundedQueue.hpp"
#include "tests/support/BoundedWait.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <thread>

namespace vorla::endpoint_security {
namespace {

using namespace std::chrono_literals;

TEST(BoundedQueue, AFullQueueHoldsTheProducerUntilThereIsRoom) {
    const bounded::Watchdog watchdog("the held producer");
    BoundedQueue<int> queue(2);
    ASSERT_TRUE(queue.push(1));
    ASSERT_TRUE(queue.push(2));
    std::atomic<bool> thirdIn{false};
    std::thread producer([&] {
        thirdIn = queue.push(3);
        queue.finish();
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(thirdIn);
    EXPECT_EQ(queue.pop(), 1);
    producer.join();
    EXPECT_TRUE(thirdIn);
    // Finishing lets the consumer take everything that is left, then tells it the end.
    EXPECT_EQ(queue.pop(), 2);
    EXPECT_EQ(queue.pop(), 3);
    EXPECT_EQ(queue.pop(), std::nullopt);
}

TEST(BoundedQueue, ItemsLeaveInTheOrderTheyCameWhateverTheFillLevel) {
    // Fill levels that leave the consumer's batch and the waiting items in every relation.
    for (const auto& [pushes, pops] : {std::pair{1, 1}, {2, 1}, {3, 3}, {3, 2}, {2, 2}}) {
        BoundedQueue<std::string> queue(3);
        std::deque<std::string> expected;
        int next = 0;
        for (int round = 0; round < 10; ++round) {
            for (int push = 0; push < pushes && expected.size() < 3; ++push) {
                // Longer than a string keeps in place, so a slot read twice or never shows.
                std::string item = "an item longer than sixteen bytes " + std::to_string(next++);
                expected.push_back(item);
                ASSERT_TRUE(queue.push(std::move(item)));
            }
            for (int pop = 0; pop < pops && !expected.empty(); ++pop) {
                EXPECT_EQ(queue.pop(), expected.front()) << pushes << " in, " << pops << " out";
                expected.pop_front();
            }
        }
    }
}

TEST(BoundedQueue, WeightHoldsTheProducerAndAnOverweightItemPassesOnlyAlone) {
    const bounded::Watchdog watchdog("the held producers");
    BoundedQueue<int> queue(10, 100);
    ASSERT_TRUE(queue.push(1, 60));
    // Each push waits while the items before it leave too little weight; the heavy one even
    // waits for an empty queue, and the light one after it for the heavy one to leave.
    const struct {
        int item;
        size_t weight;
    } pushes[] = {{2, 150}, {3, 1}};
    for (const auto& push : pushes) {
        std::atomic<bool> in{false};
        std::thread producer([&] { in = queue.push(push.item, push.weight); });
        std::this_thread::sleep_for(50ms);
        EXPECT_FALSE(in) << push.item;
        EXPECT_EQ(queue.pop(), push.item - 1);
        producer.join();
        EXPECT_TRUE(in) << push.item;
    }
    EXPECT_EQ(queue.pop(), 3);
}

// Waking the producer for every item taken would switch threads twice per message; the consumer
// takes all that waits at once, and the producer is woken then, not at each item after.
TEST(BoundedQueue, AHeldProducerIsWokenWhenTheConsumerTakesWhatWaits) {
    const bounded::Watchdog watchdog("the held producer");
    BoundedQueue<int> queue(4, 1000);
    for (int item = 1; item <= 4; ++item) {
        ASSERT_TRUE(queue.push(item, 1));
    }
    std::atomic<bool> in{false};
    std::thread producer([&] { in = queue.push(5, 1); });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(in);
    EXPECT_EQ(queue.pop(), 1);
    producer.join();
    EXPECT_TRUE(in);
    for (int item = 2; item <= 5; ++item) {
        EXPECT_EQ(queue.pop(), item);
    }
}

TEST(BoundedQueue, ClosingReleasesBothSidesAndFreesWhatItHeld) {
    const bounded::Watchdog watchdog("the producer and the consumer that closing releases");
    BoundedQueue<std::shared_ptr<int>> full(1);
    const auto held = std::make_shared<int>(1);
    ASSERT_TRUE(full.push(held));
    std::atomic<int> refused{-1};
    std::thread producer([&] { refused = full.push(std::make_shared<int>(2)) ? 0 : 1; });

    BoundedQueue<int> empty(1);
    std::atomic<int> woke{-1};
    std::thread consumer([&] { woke = empty.pop().has_value() ? 0 : 1; });

    std::this_thread::sleep_for(50ms);
    full.close();
    empty.close();
    producer.join();
    consumer.join();
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(woke, 1);
    EXPECT_EQ(held.use_count(), 1);
    EXPECT_EQ(full.pop(), std::nullopt);
    EXPECT_FALSE(full.push(held));
}

// An item's memory goes back to the thread that made it: the consumer hands what it is done
// with back when it next takes items, the producer frees that with its next push, and a close
// frees what was handed back at once.
TEST(BoundedQueue, HandedBackItemsAreFreedByTheNextPushOrByClosing) {
    BoundedQueue<std::shared_ptr<int>> queue(4);
    const std::shared_ptr<int> items[] = {std::make_shared<int>(1), std::make_shared<int>(2),
                                          std::make_shared<int>(3), std::make_shared<int>(4)};
    ASSERT_TRUE(queue.push(items[0]));
    ASSERT_TRUE(queue.push(items[1]));
    auto taken = queue.pop();
    taken = queue.pop(std::move(taken));
    EXPECT_EQ(items[0].use_count(), 2) << "freed by the consumer";
    ASSERT_TRUE(queue.push(items[2]));
    taken = queue.pop(std::move(taken));
    EXPECT_EQ(items[0].use_count(), 2) << "freed by the consumer";
    EXPECT_EQ(items[1].use_count(), 2) << "freed by the consumer";
    ASSERT_TRUE(queue.push(items[3]));
    EXPECT_EQ(items[0].use_count(), 1) << "kept after the push";
    EXPECT_EQ(items[1].use_count(), 1) << "kept after the push";
    taken = queue.pop(std::move(taken));
    queue.close();
    EXPECT_EQ(items[2].use_count(), 1) << "kept after the close";
}

} // namespace
} // namespace vorla::endpoint_security
