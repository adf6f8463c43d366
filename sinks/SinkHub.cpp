#include "sinks/SinkHub.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <sys/syscall.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unistd.h>
#include <utility>

namespace vorla {

namespace {

// Labels compare as Unicode text: canonically equivalent spellings are the same label.
bool sameLabel(std::string_view left, std::string_view right) {
    if (left == right) {
        return true;
    }
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) {
        return false;
    }
    const auto normalized = [nfc, &status](std::string_view text) {
        return nfc->normalize(icu::UnicodeString::fromUTF8(
                                  icu::StringPiece(text.data(), static_cast<int32_t>(text.size()))),
                              status);
    };
    const icu::UnicodeString first = normalized(left);
    const icu::UnicodeString second = normalized(right);
    return U_SUCCESS(status) && first == second;
}

} // namespace

SinkHub::SinkHub(std::vector<Sink> loggers) : loggers_(std::move(loggers)) {}

void SinkHub::add(Sink logger) {
    const bool known = std::any_of(loggers_.begin(), loggers_.end(), [&](const Sink& existing) {
        return sameLabel(existing->label(), logger->label());
    });
    if (!known) {
        loggers_.push_back(std::move(logger));
    }
}

void SinkHub::remove(const Loggerable& logger) {
    std::erase_if(loggers_, [&](const Sink& existing) {
        return sameLabel(existing->label(), logger.label());
    });
}

void SinkHub::removeAll() {
    loggers_.clear();
}

void SinkHub::logMessage(LogLevel level, std::string_view message, std::string_view tag,
                         std::string_view function, std::string_view file, std::uint64_t line,
                         const FacadeInfo& facadeInfo) const {
    fanOut(level, std::string(message), tag, function, file, line,
           std::make_shared<const FacadeInfo>(facadeInfo));
}

void SinkHub::emit(LogLevel level, std::string text, std::string_view tag,
                   std::string_view function, std::string_view file, std::uint64_t line) const {
    // Every level call carries the same facade information, so every call shares one copy.
    static const auto sourceOnly = std::make_shared<const FacadeInfo>(FacadeInfo{{"source", ""}});
    fanOut(level, std::move(text), tag, function, file, line, sourceOnly);
}

void SinkHub::fanOut(LogLevel level, std::string message, std::string_view tag,
                     std::string_view function, std::string_view file, std::uint64_t line,
                     const std::shared_ptr<const FacadeInfo>& facadeInfo) const {
    const auto date = foundation::now();
    const auto threadID = currentThreadID();
    for (std::size_t index = 0; index < loggers_.size(); ++index) {
        const Sink& sink = loggers_[index];
        // The last sink may have the text itself; the others get copies.
        sink->queueMessage(level, index + 1 == loggers_.size() ? std::move(message) : message,
                           std::string(tag), std::string(function), std::string(file), line,
                           facadeInfo, sink->label(), date, threadID);
    }
}

std::uint64_t SinkHub::currentThreadID() {
    // A thread keeps its id for life, so each thread asks the kernel once: the question is a
    // system call, and the error log asks it for every line.
    thread_local const std::uint64_t id = [] {
        const long kernelID = ::syscall(SYS_gettid);
        return kernelID > 0 ? static_cast<std::uint64_t>(kernelID) : std::uint64_t{0};
    }();
    return id;
}

WaitingResult SinkHub::flush(double timeout) const {
    const dispatch::Group group;
    for (const Sink& sink : loggers_) {
        group.enter();
        sink->flush([group] { group.leave(); });
    }
    const auto wholeSeconds = std::chrono::seconds(static_cast<std::int64_t>(std::trunc(timeout)));
    const auto deadline = std::chrono::steady_clock::now() + wholeSeconds;
    return group.wait(deadline) ? WaitingResult::success : WaitingResult::timeout;
}

} // namespace vorla
