#include "platform/endpoint_security/Delivery.hpp"
#include "platform/endpoint_security/MessageDecoder.hpp"
#include "tests/support/BoundedWait.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vorla::endpoint_security {
namespace {

using namespace std::chrono_literals;

const Delivery::Subscribed everyType = [](es_event_type_t) { return true; };

std::string streamFile(const std::string& content) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("vorla-delivery-" + std::to_string(::getpid()) + "-" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::ofstream(path) << content;
    return path.string();
}

std::string numberedMessages(int count) {
    std::string lines;
    for (int index = 1; index <= count; ++index) {
        lines += "{\"global_seq_num\": " + std::to_string(index) + "}\n";
    }
    return lines;
}

TEST(Delivery, ALongStreamArrivesCompleteInOrderWithItsDiagnosticsInPlace) {
    // Every tenth line is broken and every seventh blank, so the reader runs far ahead of the
    // handler while line numbers and sequence numbers drift apart.
    constexpr int lineCount = 3000;
    std::string content;
    std::vector<uint64_t> expected;
    std::vector<int> brokenLines;
    for (int line = 1; line <= lineCount; ++line) {
        if (line % 10 == 0) {
            content += "{broken\n";
            brokenLines.push_back(line);
        } else if (line % 7 == 0) {
            content += "  \n";
        } else {
            content += "{\"event_type\": 9}\n";
            expected.push_back(expected.size() + 1);
        }
    }
    const std::string source = streamFile(content);

    std::vector<uint64_t> seen;
    std::thread::id serviceThread;
    bool oneThread = true;
    std::promise<size_t> endedAfter;
    ::testing::internal::CaptureStderr();
    {
        Delivery delivery(
            source,
            [&](const es_message_t* message) {
                if (seen.empty()) {
                    serviceThread = std::this_thread::get_id();
                }
                oneThread = oneThread && std::this_thread::get_id() == serviceThread;
                seen.push_back(message->global_seq_num);
                // Diagnostics and handler output share one ordered stream.
                std::cerr << "seq " << message->global_seq_num << '\n';
            },
            everyType, [&] { endedAfter.set_value(seen.size()); });
        delivery.start();
        auto ended = endedAfter.get_future();
        ASSERT_EQ(ended.wait_for(20s), std::future_status::ready);
        EXPECT_EQ(ended.get(), expected.size());
    }
    const std::string diagnostics = ::testing::internal::GetCapturedStderr();
    std::filesystem::remove(source);

    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(oneThread);
    EXPECT_NE(serviceThread, std::this_thread::get_id());
    // Each broken line is reported once, by its own number, right after the messages before it.
    std::string expectedText;
    size_t delivered = 0;
    for (int line = 1; line <= lineCount; ++line) {
        if (line % 10 == 0) {
            expectedText +=
                "VORLA_ES_SOURCE line " + std::to_string(line) + " skipped: not a JSON object\n";
        } else if (line % 7 != 0) {
            expectedText += "seq " + std::to_string(++delivered) + "\n";
        }
    }
    EXPECT_EQ(diagnostics, expectedText);
}

TEST(Delivery, StoppingMidStreamFinishesTheMessageInHandAndDeliversNothingAfter) {
    const bounded::Watchdog watchdog("the delivery to stop");
    const std::string source = streamFile(numberedMessages(2000));
    std::atomic<int> delivered{0};
    std::atomic<bool> handling{false};
    std::atomic<bool> overlapped{false};
    std::promise<void> tenth;
    std::atomic<bool> ended{false};
    Delivery delivery(
        source,
        [&](const es_message_t*) {
            overlapped = overlapped || handling.exchange(true);
            if (++delivered == 10) {
                tenth.set_value();
                std::this_thread::sleep_for(100ms);
            }
            handling = false;
        },
        everyType, [&] { ended = true; });
    delivery.start();
    bounded::get(tenth.get_future(), "the tenth message");
    delivery.stop();
    EXPECT_FALSE(handling);
    const int atStop = delivered;
    EXPECT_EQ(atStop, 10);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(delivered, atStop);
    EXPECT_FALSE(ended);
    EXPECT_FALSE(overlapped);
    std::filesystem::remove(source);
}

TEST(Delivery, AStopFromWithinTheHandlerEndsDeliveryAndTheReader) {
    const bounded::Watchdog watchdog("the delivery and its reader to end");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    // More lines than the reader may decode ahead, and the pipe left open: the reader waits
    // for room, then for input, and must still end.
    const std::string lines = numberedMessages(100);
    ASSERT_EQ(::write(fds[1], lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    std::atomic<int> delivered{0};
    std::atomic<bool> ended{false};
    // The handler reaches its delivery through a pointer set before the start, never through
    // the owner that the test releases later.
    Delivery* self = nullptr;
    auto delivery = std::make_shared<Delivery>(
        "/dev/fd/" + std::to_string(fds[0]),
        [&](const es_message_t*) {
            if (++delivered == 3) {
                self->stop();
            }
        },
        everyType, [&] { ended = true; });
    self = delivery.get();
    delivery->start();
    for (int wait = 0; wait < 200 && delivered < 3; ++wait) {
        std::this_thread::sleep_for(10ms);
    }
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(delivered, 3);
    EXPECT_FALSE(ended);
    delivery.reset();
    ::close(fds[1]);
    ::close(fds[0]);
}

TEST(Delivery, AMessageWithoutATimeCarriesTheMomentOfItsDelivery) {
    const std::string source = streamFile("{}\n{}\n");
    std::vector<std::chrono::system_clock::time_point> handed;
    std::vector<std::chrono::system_clock::time_point> stamped;
    std::promise<void> endedPromise;
    Delivery delivery(
        source,
        [&](const es_message_t* message) {
            handed.push_back(std::chrono::system_clock::now());
            stamped.emplace_back(std::chrono::seconds(message->time.tv_sec) +
                                 std::chrono::nanoseconds(message->time.tv_nsec));
            // The second message is decoded while this one is still in hand.
            std::this_thread::sleep_for(200ms);
        },
        everyType, [&] { endedPromise.set_value(); });
    delivery.start();
    ASSERT_EQ(endedPromise.get_future().wait_for(10s), std::future_status::ready);
    ASSERT_EQ(stamped.size(), 2u);
    EXPECT_GE(stamped[1], handed[0] + 200ms);
    EXPECT_LE(stamped[1], handed[1]);
    std::filesystem::remove(source);
}

// A message line of exactly the given length: its sequence number and filler text.
std::string paddedMessage(int sequenceNumber, size_t length) {
    const std::string head =
        "{\"global_seq_num\": " + std::to_string(sequenceNumber) + ", \"x\": \"";
    return head + std::string(length - head.size() - 2, 'a') + "\"}";
}

TEST(Delivery, OverlongLinesAreSkippedWithOneDiagnosticEachAndDeliveryGoesOn) {
    constexpr size_t bound = MessageDecoder::maxLineLength;
    // The first line fills one read exactly, so the second line's line feed arrives in the
    // same read as the byte that takes it past the bound.
    const std::string source =
        streamFile(paddedMessage(1, 65535) + "\n" + paddedMessage(2, bound + 1) + "\n" +
                   paddedMessage(3, 2 * bound) + "\n" + paddedMessage(4, bound) + "\n" +
                   paddedMessage(5, 40) + "\n" + paddedMessage(6, bound + 10));
    std::vector<uint64_t> seen;
    std::promise<void> endedPromise;
    ::testing::internal::CaptureStderr();
    Delivery delivery(
        source, [&](const es_message_t* message) { seen.push_back(message->global_seq_num); },
        everyType, [&] { endedPromise.set_value(); });
    delivery.start();
    ASSERT_EQ(endedPromise.get_future().wait_for(60s), std::future_status::ready);
    EXPECT_EQ(seen, (std::vector<uint64_t>{1, 4, 5}));
    std::string expected;
    for (const int line : {2, 3, 6}) {
        expected += "VORLA_ES_SOURCE line " + std::to_string(line) +
                    " skipped: longer than the 16777216 bytes the service accepts\n";
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), expected);
    std::filesystem::remove(source);
}

} // namespace
} // namespace vorla::endpoint_security
