#include "platform/foundation/DateFormatter.hpp"

#include <optional>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

namespace vorla::foundation {

// ICU's formatter is built on first use, not by each setter: building one loads locale and
// zone data, which costs a start of the extension milliseconds, while most formatters are set
// up at start and many are never asked for a date.
struct DateFormatter::State {
    std::optional<std::string> locale; // none: the current locale
    std::string pattern;
    std::optional<std::string> timeZone; // none: the system's zone; an unknown one counts as none
    std::unique_ptr<icu::SimpleDateFormat> format; // none when the pattern is empty or invalid
    bool built = false;                            // whether format follows the settings
};

DateFormatter::DateFormatter() : state_(std::make_unique<State>()) {}

DateFormatter::DateFormatter(const DateFormatter& other) : state_(std::make_unique<State>()) {
    const std::lock_guard lock(other.mutex_);
    state_->locale = other.state_->locale;
    state_->pattern = other.state_->pattern;
    state_->timeZone = other.state_->timeZone;
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
    state_->built = false;
}

void DateFormatter::setDateFormat(std::string_view pattern) {
    const std::lock_guard lock(mutex_);
    state_->pattern = std::string(pattern);
    state_->built = false;
}

void DateFormatter::setTimeZone(std::string_view identifier) {
    const std::lock_guard lock(mutex_);
    state_->timeZone = std::string(identifier);
    state_->built = false;
}

void DateFormatter::build() const {
    state_->built = true;
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
    // Without a known zone the formatter keeps ICU's default, the system's zone.
    if (state_->timeZone) {
        std::unique_ptr<icu::TimeZone> zone(
            icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(*state_->timeZone)));
        if (zone && *zone != icu::TimeZone::getUnknown()) {
            format->adoptTimeZone(zone.release());
        }
    }
    state_->format = std::move(format);
}

std::string DateFormatter::string(Date date) const {
    // Down to the millisecond, before 1970 as after it: a moment half a millisecond before
    // 1970 still belongs to 1969.
    const auto milliseconds =
        std::chrono::floor<std::chrono::milliseconds>(date.time_since_epoch()).count();
    const std::lock_guard lock(mutex_);
    if (!state_->built) {
        build();
    }
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
