#include "sinks/Loggerable.hpp"

#include <utility>

namespace vorla {

Loggerable::Loggerable(std::string label, LogLevel logLevel,
                       std::shared_ptr<const LogFormattable> logFormat)
    : label_(std::move(label)), queue_(label_), logLevel_(logLevel),
      logFormat_(std::move(logFormat)) {}

// A template, so that the work and the sink that it keeps alive make one queue item: one
// allocation where a std::function around another would make two.
template <typename Work> void Loggerable::enqueue(Work work) const {
    if (auto self = weak_from_this().lock()) {
        queue_.async([self = std::move(self), work = std::move(work)] { work(*self); });
        return;
    }
    // A sink that no shared_ptr owns cannot be kept alive by a pending item, so its work runs
    // on the queue while the caller waits.
    queue_.sync([this, &work] { work(*this); });
}

void Loggerable::pickMessage(LogLevel level, std::string message, std::string tag,
                             std::string function, std::string file, std::uint64_t line,
                             FacadeInfo facadeInfo, std::string label, foundation::Date date,
                             std::uint64_t threadID) const {
    queueMessage(level, std::move(message), std::move(tag), std::move(function), std::move(file),
                 line, std::make_shared<const FacadeInfo>(std::move(facadeInfo)), std::move(label),
                 date, threadID);
}

void Loggerable::queueMessage(LogLevel level, std::string message, std::string tag,
                              std::string function, std::string file, std::uint64_t line,
                              std::shared_ptr<const FacadeInfo> facadeInfo, std::string label,
                              foundation::Date date, std::uint64_t threadID) const {
    enqueue([=, message = std::move(message), tag = std::move(tag), function = std::move(function),
             file = std::move(file), facadeInfo = std::move(facadeInfo),
             label = std::move(label)](const Loggerable& sink) {
        if (!passes(level, sink.logLevel())) {
            return;
        }
        if (const auto& format = sink.logFormat()) {
            sink.log(level, format->formatMessage(level, message, tag, function, file, line,
                                                  *facadeInfo, label, date, threadID));
        } else {
            sink.log(level, message);
        }
    });
}

void Loggerable::flush(std::function<void()> completion) const {
    enqueue([completion = std::move(completion)](const Loggerable&) { completion(); });
}

} // namespace vorla
