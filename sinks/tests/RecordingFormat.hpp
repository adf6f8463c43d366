#pragma once

#include "sinks/LogFormattable.hpp"
#include "sinks/Loggerable.hpp"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::testing {

// The arguments of one formatting call.
struct Received {
    LogLevel level;
    std::string message;
    std::string tag;
    std::string function;
    std::string file;
    std::uint64_t line;
    FacadeInfo facadeInfo;
    std::string label;
    foundation::Date date;
    std::uint64_t threadID;
};

// Keeps every call its sinks format, in the order their queues ran them; the line itself is
// the bare message.
class RecordingFormat final : public LogFormattable {
public:
    std::string formatMessage(LogLevel level, std::string_view message, std::string_view tag,
                              std::string_view function, std::string_view file, std::uint64_t line,
                              const FacadeInfo& facadeInfo, std::string_view label,
                              foundation::Date date, std::uint64_t threadID) const override {
        const std::lock_guard lock(mutex_);
        received_.push_back({level, std::string(message), std::string(tag), std::string(function),
                             std::string(file), line, facadeInfo, std::string(label), date,
                             threadID});
        return std::string(message);
    }

    std::vector<Received> received() const {
        const std::lock_guard lock(mutex_);
        return received_;
    }

private:
    mutable std::mutex mutex_;
    mutable std::vector<Received> received_;
};

// A sink that writes nowhere; what reached it is in its format's records.
class NullSink final : public Loggerable {
public:
    NullSink(std::string label, LogLevel level, std::shared_ptr<const LogFormattable> format)
        : Loggerable(std::move(label), level, std::move(format)) {}
    void log(LogLevel, std::string_view) const override {}
};

} // namespace vorla::testing
