#pragma once

#include "sinks/Loggerable.hpp"
#include "sinks/WaitingResult.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vorla {

// A list of sinks that every log call fans out to through their queued write path. A log call
// only stamps the message with the date and the calling thread and queues it on each sink: no
// formatting and no file work happens on the caller's thread, and lines given from one thread
// reach each sink in call order. Copies share the sinks (and so their queues).
//
// add, remove and removeAll change the list and must not run concurrently with any other use
// of the same hub; logging and flush may be called from any thread.
class SinkHub {
public:
    using Sink = std::shared_ptr<const Loggerable>;

    SinkHub() = default;
    // The list as given, duplicates included.
    explicit SinkHub(std::vector<Sink> loggers);

    const std::vector<Sink>& loggers() const { return loggers_; }

    // Appends the sink unless a sink with an equal label (canonically equivalent Unicode text)
    // is already in the list.
    void add(Sink logger);
    // Removes every sink whose label equals the given sink's label.
    void remove(const Loggerable& logger);
    void removeAll();

    void logMessage(LogLevel level, std::string_view message, std::string_view tag,
                    std::string_view function, std::string_view file, std::uint64_t line,
                    const FacadeInfo& facadeInfo) const;

    // Level operations: (text, tag, function, file, line). The text is deferred, anything
    // callable that yields it (a lambda, a std::function); it is evaluated once, before anything
    // else, also when the list is empty. facadeInfo holds the one entry "source" -> "".
    void trace(auto&& text, auto&&... site) const { emit(LogLevel::trace, text(), site...); }
    void verbose(auto&& text, auto&&... site) const { emit(LogLevel::verbose, text(), site...); }
    void debug(auto&& text, auto&&... site) const { emit(LogLevel::debug, text(), site...); }
    void info(auto&& text, auto&&... site) const { emit(LogLevel::info, text(), site...); }
    void notice(auto&& text, auto&&... site) const { emit(LogLevel::notice, text(), site...); }
    void warning(auto&& text, auto&&... site) const { emit(LogLevel::warning, text(), site...); }
    void error(auto&& text, auto&&... site) const { emit(LogLevel::error, text(), site...); }
    void critical(auto&& text, auto&&... site) const { emit(LogLevel::critical, text(), site...); }

    // The calling thread's system-wide identifier (its kernel thread id); 0 if unavailable.
    static std::uint64_t currentThreadID();

    // Waits until every sink has run the work queued on it before this call, for at most the
    // timeout's whole seconds (0.9 waits no time at all). The timeout must be finite.
    WaitingResult flush(double timeout) const;

private:
    // The path of every level operation, once the text is known.
    void emit(LogLevel level, std::string text, std::string_view tag, std::string_view function,
              std::string_view file, std::uint64_t line) const;
    // Stamps the call with the date and the thread and queues it on every sink.
    void fanOut(LogLevel level, std::string message, std::string_view tag,
                std::string_view function, std::string_view file, std::uint64_t line,
                const std::shared_ptr<const FacadeInfo>& facadeInfo) const;

    std::vector<Sink> loggers_;
};

} // namespace vorla
