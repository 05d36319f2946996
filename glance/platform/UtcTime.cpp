#include "platform/UtcTime.h"

namespace Strato {
namespace {

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

bool leapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

} // namespace

std::optional<int64_t> parseUtcTime(std::string_view text) {
    if (text.size() != 13 || text[12] != 'Z') {
        return std::nullopt;
    }
    int fields[6];
    for (int i = 0; i < 6; ++i) {
        const char high = text[2 * i];
        const char low = text[2 * i + 1];
        if (high < '0' || high > '9' || low < '0' || low > '9') {
            return std::nullopt;
        }
        fields[i] = (high - '0') * 10 + (low - '0');
    }
    const int year = fields[0] < 70 ? 2000 + fields[0] : 1900 + fields[0];
    const int month = fields[1];
    static constexpr int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || fields[2] < 1 ||
        fields[2] > kDaysInMonth[month - 1] + (month == 2 && leapYear(year) ? 1 : 0) ||
        fields[3] > 23 || fields[4] > 59 || fields[5] > 59) {
        return std::nullopt;
    }
    return daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(fields[2])) *
               86400 +
           fields[3] * 3600 + fields[4] * 60 + fields[5];
}

} // namespace Strato
