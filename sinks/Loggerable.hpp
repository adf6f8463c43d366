#pragma once

#include "platform/dispatch/Dispatch.hpp"
#include "platform/foundation/Date.hpp"
#include "sinks/LogFormattable.hpp"
#include "sinks/LogLevel.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vorla {

// A log sink. It can be written directly with log(level, string), on the caller's thread, or
// through pickMessage, which only queues the raw parts of a log call on the sink's own serial
// queue; there the level is checked, the line laid out and then written.
//
// Sinks are immutable once built and are shared through std::shared_ptr (create them with
// std::make_shared): a queued work item keeps its sink alive until it has run, so an owner may
// drop a sink while lines are still queued.
class Loggerable : public std::enable_shared_from_this<Loggerable> {
public:
    virtual ~Loggerable() = default;
    Loggerable(const Loggerable&) = delete;
    Loggerable& operator=(const Loggerable&) = delete;

    const std::string& label() const { return label_; }
    // A serial queue labelled with the sink's label.
    const dispatch::Queue& queue() const { return queue_; }
    // The threshold of the queued path; a direct log() call is never filtered.
    LogLevel logLevel() const { return logLevel_; }
    // The line layout of the queued path; without one the message is written as it is.
    const std::shared_ptr<const LogFormattable>& logFormat() const { return logFormat_; }

    // Queues one message and returns at once; nothing is formatted or written on the caller's
    // thread.
    void pickMessage(LogLevel level, std::string message, std::string tag, std::string function,
                     std::string file, std::uint64_t line, FacadeInfo facadeInfo, std::string label,
                     foundation::Date date, std::uint64_t threadID) const;

    // Writes one finished line now, on the caller's thread, whatever the level.
    virtual void log(LogLevel level, std::string_view string) const = 0;

    // Calls the completion on the sink's queue once everything queued before it has run.
    void flush(std::function<void()> completion) const;

protected:
    Loggerable(std::string label, LogLevel logLevel,
               std::shared_ptr<const LogFormattable> logFormat);

private:
    // The facade hands every sink the same facade information, shared rather than copied.
    friend class SinkHub;
    void queueMessage(LogLevel level, std::string message, std::string tag, std::string function,
                      std::string file, std::uint64_t line,
                      std::shared_ptr<const FacadeInfo> facadeInfo, std::string label,
                      foundation::Date date, std::uint64_t threadID) const;

    // Runs the work on the queue with the sink kept alive for as long as the work is pending.
    template <typename Work> void enqueue(Work work) const;

    std::string label_;
    dispatch::Queue queue_;
    LogLevel logLevel_;
    std::shared_ptr<const LogFormattable> logFormat_;
};

} // namespace vorla
