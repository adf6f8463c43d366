#include "sinks/Loggerable.hpp"
#include "tests/support/BoundedWait.hpp"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

namespace vorla {
namespace {

// A sink that remembers what it was asked to write and on which thread.
class RecordingSink final : public Loggerable {
public:
    RecordingSink(std::string label, LogLevel level, std::shared_ptr<const LogFormattable> format)
        : Loggerable(std::move(label), level, std::move(format)) {}

    void log(LogLevel level, std::string_view string) const override {
        const std::lock_guard lock(mutex_);
        lines_.emplace_back(std::string(description(level)) + " " + std::string(string));
    }
    std::vector<std::string> lines() const {
        const std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    mutable std::vector<std::string> lines_;
};

class CountingFormat final : public LogFormattable {
public:
    std::string formatMessage(LogLevel, std::string_view message, std::string_view tag,
                              std::string_view function, std::string_view file, std::uint64_t line,
                              const FacadeInfo& facadeInfo, std::string_view label,
                              foundation::Date, std::uint64_t threadID) const override {
        ++calls;
        return std::string(message) + "|" + std::string(tag) + "|" + std::string(function) + "|" +
               std::string(file) + "|" + std::to_string(line) + "|" + facadeInfo.at("source") +
               "|" + std::string(label) + "|" + std::to_string(threadID);
    }
    mutable std::atomic<int> calls = 0;
};

void waitFor(const Loggerable& sink) {
    std::promise<void> done;
    sink.flush([&] { done.set_value(); });
    bounded::get(done.get_future(), "the flush of " + sink.label());
}

void pick(const Loggerable& sink, LogLevel level, std::string message) {
    sink.pickMessage(level, std::move(message), "tag", "fn", "f.cpp", 7, {{"source", "s"}},
                     sink.label(), foundation::Date(), 42);
}

TEST(LoggerableTest, QueuedPathFiltersBeforeFormatting) {
    const auto format = std::make_shared<CountingFormat>();
    const auto sink = std::make_shared<RecordingSink>("com.vorla.test", LogLevel::info, format);
    pick(*sink, LogLevel::debug, "dropped");
    pick(*sink, LogLevel::info, "kept");
    waitFor(*sink);
    EXPECT_EQ(format->calls, 1);
    EXPECT_EQ(sink->lines(),
              (std::vector<std::string>{"INFO kept|tag|fn|f.cpp|7|s|com.vorla.test|42"}));

    sink->log(LogLevel::debug, "direct");
    EXPECT_EQ(sink->lines().back(), "DEBUG direct");
}

TEST(LoggerableTest, WithoutFormatTheMessageIsWrittenAsItIs) {
    const auto sink = std::make_shared<RecordingSink>("plain", LogLevel::trace, nullptr);
    pick(*sink, LogLevel::trace, "first");
    pick(*sink, LogLevel::critical, "second");
    std::promise<std::vector<std::string>> seen;
    sink->flush([&] { seen.set_value(sink->lines()); });
    EXPECT_EQ(bounded::get(seen.get_future(), "the flush"),
              (std::vector<std::string>{"TRACE first", "CRITICAL second"}));
}

TEST(LoggerableTest, QueuedWorkKeepsTheSinkAlive) {
    std::promise<void> release;
    auto gate = release.get_future().share();
    auto sink = std::make_shared<RecordingSink>("alive", LogLevel::trace, nullptr);
    const std::weak_ptr<RecordingSink> watch = sink;
    sink->queue().async([gate] { gate.wait(); });
    pick(*sink, LogLevel::info, "late");
    std::promise<std::vector<std::string>> seen;
    sink->flush([&seen, watch] { seen.set_value(watch.lock()->lines()); });
    sink.reset();
    release.set_value();
    EXPECT_EQ(bounded::get(seen.get_future(), "the flush of a released sink"),
              (std::vector<std::string>{"INFO late"}));
}

TEST(LoggerableTest, FlushOnAnIdleSinkRunsOnceOnItsQueue) {
    const auto sink = std::make_shared<RecordingSink>("idle", LogLevel::trace, nullptr);
    std::atomic<int> calls = 0;
    std::promise<std::thread::id> where;
    sink->flush([&] {
        ++calls;
        where.set_value(std::this_thread::get_id());
    });
    EXPECT_TRUE(bounded::get(where.get_future(), "the flush") != std::this_thread::get_id());
    waitFor(*sink);
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace vorla
