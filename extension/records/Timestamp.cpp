#include "extension/records/Timestamp.hpp"

#include <charconv>
#include <cstdint>

namespace vorla::records {

namespace {

struct CalendarDate {
    int64_t year; // 0 is the year before 0001
    int month;
    int day;
};

int64_t floorDivide(int64_t value, int64_t divisor) {
    const int64_t quotient = value / divisor;
    return quotient * divisor > value ? quotient - 1 : quotient;
}

// Days since 1970-01-01 of 1582-10-15, the first day of the Gregorian calendar; the day
// before it is the Julian 1582-10-04.
constexpr int64_t gregorianStart = -141'427;
// The Julian day number of 1970-01-01.
constexpr int64_t epochJulianDay = 2'440'588;

CalendarDate gregorianDate(int64_t days) {
    // Counted in 400-year eras from 0000-03-01, so that the leap day ends each counted year.
    const int64_t shifted = days + 719'468;
    const int64_t era = floorDivide(shifted, 146'097);
    const int64_t dayOfEra = shifted - era * 146'097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const int month =
        static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month,
            static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1)};
}

CalendarDate julianDate(int64_t days) {
    // Counted in 4-year cycles from the Julian 4801-03-01 before Christ.
    const int64_t shifted = days + epochJulianDay + 32'082;
    const int64_t cycles = floorDivide(4 * shifted + 3, 1461);
    const int64_t dayOfYear = shifted - floorDivide(1461 * cycles, 4);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const int month = static_cast<int>(monthFromMarch + 3 - 12 * (monthFromMarch / 10));
    return {cycles - 4800 + monthFromMarch / 10, month,
            static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1)};
}

char* twoDigits(char* out, int64_t value) {
    out[0] = static_cast<char>('0' + value / 10);
    out[1] = static_cast<char>('0' + value % 10);
    return out + 2;
}

} // namespace

char* writeTimestamp(char* out, foundation::Date date) {
    constexpr int64_t millisecondsPerDay = 86'400'000;
    const int64_t milliseconds =
        std::chrono::floor<std::chrono::milliseconds>(date.time_since_epoch()).count();
    const int64_t days = floorDivide(milliseconds, millisecondsPerDay);
    const int64_t ofDay = milliseconds - days * millisecondsPerDay;
    const CalendarDate calendar = days >= gregorianStart ? gregorianDate(days) : julianDate(days);
    const int64_t yearOfEra = calendar.year > 0 ? calendar.year : 1 - calendar.year;

    if (yearOfEra > 9999) {
        out = std::to_chars(out, out + 20, yearOfEra).ptr;
    } else {
        out = twoDigits(twoDigits(out, yearOfEra / 100), yearOfEra % 100);
    }
    *out++ = '-';
    out = twoDigits(out, calendar.month);
    *out++ = '-';
    out = twoDigits(out, calendar.day);
    *out++ = 'T';
    out = twoDigits(out, ofDay / 3'600'000);
    *out++ = ':';
    out = twoDigits(out, ofDay / 60'000 % 60);
    *out++ = ':';
    out = twoDigits(out, ofDay / 1000 % 60);
    *out++ = '.';
    *out++ = static_cast<char>('0' + ofDay % 1000 / 100);
    out = twoDigits(out, ofDay % 100);
    *out++ = 'Z';
    return out;
}

std::string timestampText(foundation::Date date) {
    char text[maximumTimestampSize];
    return std::string(text, writeTimestamp(text, date));
}

} // namespace vorla::records
