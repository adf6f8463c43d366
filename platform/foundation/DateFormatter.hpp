#pragma once

#include "platform/foundation/Date.hpp"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace vorla::foundation {

// Formats dates with an ICU pattern, locale and time zone. One formatter may be shared between
// threads: every operation takes the formatter's lock, because ICU's formatters keep a calendar
// that each format call changes.
class DateFormatter {
public:
    // The current locale, the system's time zone and an empty pattern (which formats as "").
    DateFormatter();
    DateFormatter(const DateFormatter& other);
    DateFormatter& operator=(const DateFormatter& other);
    ~DateFormatter();

    // A locale identifier such as "en_US_POSIX"; an unknown identifier still names a locale.
    void setLocale(std::string_view identifier);
    // An ICU date pattern such as "yyyy-MM-dd'T'HH:mm:ss.SSSZZZZZ".
    void setDateFormat(std::string_view pattern);
    // A time-zone identifier such as "UTC"; an unknown one sets no explicit zone, so the
    // system's zone applies.
    void setTimeZone(std::string_view identifier);

    // The date's text, to the millisecond.
    std::string string(Date date) const;

private:
    struct State;
    // Builds ICU's formatter from the settings; the lock is held.
    void build() const;

    mutable std::mutex mutex_;
    std::unique_ptr<State> state_;
};

} // namespace vorla::foundation
