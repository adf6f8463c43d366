#include "sinks/SinkHub.hpp"

#include "RecordingFormat.hpp"

#include <algorithm>
#include <future>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vorla {
namespace {

using testing::NullSink;
using testing::RecordingFormat;

std::shared_ptr<NullSink> sink(const std::string& label,
                               std::shared_ptr<const LogFormattable> format = nullptr,
                               LogLevel level = LogLevel::trace) {
    return std::make_shared<NullSink>(label, level, std::move(format));
}

std::vector<std::string> labels(const SinkHub& hub) {
    std::vector<std::string> result;
    for (const auto& logger : hub.loggers()) {
        result.push_back(logger->label());
    }
    return result;
}

TEST(SinkHubTest, AddKeepsLabelsDistinct) {
    SinkHub hub;
    hub.add(sink("a"));
    hub.add(sink("b"));
    hub.add(sink("a", nullptr, LogLevel::critical));
    hub.add(sink("caf\xC3\xA9"));
    hub.add(sink("cafe\xCC\x81")); // the same text, decomposed
    EXPECT_EQ(labels(hub), (std::vector<std::string>{"a", "b", "caf\xC3\xA9"}));
}

TEST(SinkHubTest, RemoveGoesByLabel) {
    SinkHub hub({sink("a"), sink("b"), sink("a")});
    hub.remove(*sink("unknown"));
    EXPECT_EQ(labels(hub), (std::vector<std::string>{"a", "b", "a"}));
    hub.remove(*sink("a"));
    EXPECT_EQ(labels(hub), (std::vector<std::string>{"b"}));
    hub.removeAll();
    EXPECT_TRUE(hub.loggers().empty());
}

TEST(SinkHubTest, AnEmptyHubEvaluatesTheMessageOnce) {
    const SinkHub hub;
    int evaluated = 0;
    hub.info([&] { return std::to_string(++evaluated); }, "", "f", "file", 1);
    EXPECT_EQ(evaluated, 1);
    EXPECT_EQ(hub.flush(0), WaitingResult::success);
}

TEST(SinkHubTest, EverySinkSeesOneDateAndThread) {
    const auto format = std::make_shared<RecordingFormat>();
    const SinkHub hub(
        {sink("first", format), sink("second", format), sink("strict", format, LogLevel::error)});
    hub.warning([] { return std::string("message"); }, "", "fn", "file", 3);
    ASSERT_EQ(hub.flush(10), WaitingResult::success);
    auto received = format->received();
    ASSERT_EQ(received.size(), 2U);
    // Each sink writes on its own queue, so the two records may arrive in either order.
    std::sort(received.begin(), received.end(),
              [](const auto& left, const auto& right) { return left.label < right.label; });
    const auto& first = received[0];
    const auto& second = received[1];
    EXPECT_EQ(first.label, "first");
    EXPECT_EQ(second.label, "second");
    EXPECT_EQ(first.date, second.date);
    EXPECT_EQ(first.threadID, static_cast<std::uint64_t>(::gettid()));
    EXPECT_EQ(second.threadID, first.threadID);
    EXPECT_EQ(first.facadeInfo, (FacadeInfo{{"source", ""}}));
}

TEST(SinkHubTest, LinesOfOneThreadKeepTheirOrder) {
    const auto format = std::make_shared<RecordingFormat>();
    const SinkHub hub({sink("ordered", format)});
    for (int index = 0; index < 500; ++index) {
        hub.info([index] { return std::to_string(index); }, "", "", "", 0);
    }
    ASSERT_EQ(hub.flush(10), WaitingResult::success);
    const auto received = format->received();
    ASSERT_EQ(received.size(), 500U);
    for (int index = 0; index < 500; ++index) {
        EXPECT_EQ(received[static_cast<std::size_t>(index)].message, std::to_string(index));
    }
}

TEST(SinkHubTest, FlushDropsTheFractionOfItsTimeout) {
    const auto busy = sink("busy");
    const SinkHub hub({busy});
    std::promise<void> release;
    auto gate = release.get_future().share();
    busy->queue().async([gate] { gate.wait(); });

    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(hub.flush(0.9), WaitingResult::timeout);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));

    const auto waited = std::chrono::steady_clock::now();
    EXPECT_EQ(hub.flush(1.5), WaitingResult::timeout);
    EXPECT_GE(std::chrono::steady_clock::now() - waited, std::chrono::seconds(1));

    release.set_value();
    EXPECT_EQ(hub.flush(10), WaitingResult::success);
}

} // namespace
} // namespace vorla
