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
    const auto date = std::chrono::system_clock::now();
    const auto threadID = currentThreadID();
    for (const Sink& sink : loggers_) {
        sink->pickMessage(level, std::string(message), std::string(tag), std::string(function),
                          std::string(file), line, facadeInfo, sink->label(), date, threadID);
    }
}

void SinkHub::logAtLevel(LogLevel level, const Message& message, std::string_view tag,
                         std::string_view function, std::string_view file,
                         std::uint64_t line) const {
    const std::string text = message();
    logMessage(level, text, tag, function, file, line, FacadeInfo{{"source", ""}});
}

void SinkHub::trace(const Message& message, std::string_view tag, std::string_view function,
                    std::string_view file, std::uint64_t line) const {
    logAtLevel(LogLevel::trace, message, tag, function, file, line);
}

void SinkHub::verbose(const Message& message, std::string_view tag, std::string_view function,
                      std::string_view file, std::uint64_t line) const {
    logAtLevel(LogLevel::verbose, message, tag, function, file, line);
}

void SinkHub::debug(const Message& message, std::string_view tag, std::string_view function,
                    std::string_view file, std::uint64_t line) const {
    logAtLevel(LogLevel::debug, message, tag, function, file, line);
}

void SinkHub::info(const Message& message, std::string_view tag, std::string_view function,
                   std::string_view file, std::uint64_t line) const {
    logAtLevel(LogLevel::info, message, tag, function, file, line);
}

void SinkHub::notice(const Message& message, std::string_view tag, std::string_view function,
                     std::string_view file, std::uint64_t line) const {
    logAtLevel(LogLevel::notice, message, tag, function, file, line);
}

void SinkHub::warning(const Message& message, std::string_view tag, std::string_view function,
                      std::string_view file, std::uint64_t line) const {
    logAtLevel(LogLevel::warning, message, tag, function, file, line);
}

void SinkHub::error(const Message& message, std::string_view tag, std::string_view function,
                    std::string_view file, std::uint64_t line) const {
    logAtLevel(LogLevel::error, message, tag, function, file, line);
}

void SinkHub::critical(const Message& message, std::string_view tag, std::string_view function,
                       std::string_view file, std::uint64_t line) const {
    logAtLevel(LogLevel::critical, message, tag, function, file, line);
}

std::uint64_t SinkHub::currentThreadID() {
    const long id = ::syscall(SYS_gettid);
    return id > 0 ? static_cast<std::uint64_t>(id) : 0;
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
