#pragma once

#include "sinks/SinkReporter.hpp"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace vorla {

// What a file sink tells of failed appends: a failure that repeats (every line of a log whose
// disk is full) is told once when it starts, then only counted, with one line a minute at most
// while it lasts ("<n> more lines could not be appended to <url>"), and once more when lines
// are appended again. A failure of another kind is told at once.
class RepeatedFailure {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::minutes countInterval{1};

    // `subject` is the file's description, as the messages name it.
    RepeatedFailure(std::string subject, std::shared_ptr<const SinkReporter> reporter,
                    Clock clock = std::chrono::steady_clock::now);

    // A line failed with the message (the message is its kind).
    void failed(std::string message);
    // A line was appended.
    void succeeded();

private:
    // Tells how many lines failed since the last report, when any did.
    void tellCount();

    std::string subject_;
    std::shared_ptr<const SinkReporter> reporter_;
    Clock clock_;
    std::mutex mutex_;
    // The failure told last, while it lasts; empty when appends work.
    std::string current_;
    std::size_t uncounted_ = 0;
    std::chrono::steady_clock::time_point lastTold_;
};

} // namespace vorla
