#include "sinks/RepeatedFailure.hpp"

#include <utility>

namespace vorla {

RepeatedFailure::RepeatedFailure(std::string subject, std::shared_ptr<const SinkReporter> reporter,
                                 Clock clock)
    : subject_(std::move(subject)), reporter_(std::move(reporter)), clock_(std::move(clock)) {}

void RepeatedFailure::tellCount() {
    if (uncounted_ > 0) {
        reporter_->failure(std::to_string(uncounted_) + " more lines could not be appended to " +
                           subject_);
        uncounted_ = 0;
    }
}

void RepeatedFailure::failed(std::string message) {
    const std::lock_guard lock(mutex_);
    const auto now = clock_();
    if (message == current_) {
        ++uncounted_;
        if (now - lastTold_ < countInterval) {
            return;
        }
        tellCount();
    } else {
        tellCount();
        reporter_->failure(message);
        current_ = std::move(message);
    }
    lastTold_ = now;
}

void RepeatedFailure::succeeded() {
    const std::lock_guard lock(mutex_);
    if (current_.empty()) {
        return;
    }
    tellCount();
    reporter_->notice("lines are appended to " + subject_ + " again");
    current_.clear();
}

} // namespace vorla
