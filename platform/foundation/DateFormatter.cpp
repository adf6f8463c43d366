#include "platform/foundation/DateFormatter.hpp"

#include <optional>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

namespace vorla::foundation {

struct DateFormatter::State {
    std::optional<std::string> locale; // none: the current locale
    std::string pattern;
    std::optional<std::string> timeZone;           // none: the system's zone
    std::unique_ptr<icu::SimpleDateFormat> format; // none when the pattern is empty or invalid
};

DateFormatter::DateFormatter() : state_(std::make_unique<State>()) {}

DateFormatter::DateFormatter(const DateFormatter& other) : state_(std::make_unique<State>()) {
    const std::lock_guard lock(other.mutex_);
    state_->locale = other.state_->locale;
    state_->pattern = other.state_->pattern;
    state_->timeZone = other.state_->timeZone;
    rebuild();
}

DateFormatter& DateFormatter::operator=(const DateFormatter& other) {
    if (this != &other) {
        DateFormatter copy(other);
        const std::lock_guard lock(mutex_);
        state_.swap(copy.state_);
    }
    return *this;
}

DateFormatter::~DateFormatter() = default;

void DateFormatter::setLocale(std::string_view identifier) {
    const std::lock_guard lock(mutex_);
    state_->locale = std::string(identifier);
    rebuild();
}

void DateFormatter::setDateFormat(std::string_view pattern) {
    const std::lock_guard lock(mutex_);
    state_->pattern = std::string(pattern);
    rebuild();
}

void DateFormatter::setTimeZone(std::string_view identifier) {
    const std::lock_guard lock(mutex_);
    const std::unique_ptr<icu::TimeZone> zone(
        icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(
            icu::StringPiece(identifier.data(), static_cast<int32_t>(identifier.size())))));
    if (zone && *zone != icu::TimeZone::getUnknown()) {
        state_->timeZone = std::string(identifier);
    } else {
        state_->timeZone.reset();
    }
    rebuild();
}

void DateFormatter::rebuild() {
    state_->format.reset();
    if (state_->pattern.empty()) {
        return;
    }
    const icu::Locale locale =
        state_->locale ? icu::Locale(state_->locale->c_str()) : icu::Locale::getDefault();
    UErrorCode status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::SimpleDateFormat>(
        icu::UnicodeString::fromUTF8(state_->pattern), locale, status);
    if (U_FAILURE(status)) {
        return;
    }
    // Without an explicit zone the formatter keeps ICU's default, the system's zone.
    if (state_->timeZone) {
        format->adoptTimeZone(
            icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(*state_->timeZone)));
    }
    state_->format = std::move(format);
}

std::string DateFormatter::string(Date date) const {
    // Down to the millisecond, before 1970 as after it: a moment half a millisecond before
    // 1970 still belongs to 1969.
    const auto milliseconds =
        std::chrono::floor<std::chrono::milliseconds>(date.time_since_epoch()).count();
    const std::lock_guard lock(mutex_);
    if (!state_->format) {
        return "";
    }
    icu::UnicodeString text;
    state_->format->format(static_cast<UDate>(milliseconds), text);
    std::string result;
    text.toUTF8String(result);
    return result;
}

} // namespace vorla::foundation
