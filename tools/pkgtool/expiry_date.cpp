#include "pkgtool/expiry_date.h"

#include "common/fixed_string.h"
#include "common/number_text.h"

#include <ctime>

namespace {

constexpr long kSecondsPerDay = 86400;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar (the civil-from-days
// algorithm in reverse: years counted from March, so that the leap day ends a year).
long DaysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    const long era = (year >= 0 ? year : year - 399) / 400;
    const long yearOfEra = year - era * 400;
    const long dayOfYear = (153L * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

}  // namespace

std::string ExpiryDate(int days)
{
    const time_t then = time(nullptr) + static_cast<time_t>(days) * kSecondsPerDay;
    const struct tm* utc = gmtime(&then);
    char text[16] = {};
    if (utc)
        FormatString(text, "%04d-%02d-%02d", utc->tm_year + 1900, utc->tm_mon + 1, utc->tm_mday);
    return text;
}

bool DaysUntil(const char* date, long* days)
{
    int year = 0, month = 0, day = 0;
    if (!ParseDate(date, &year, &month, &day))
        return false;
    // 29 February of a common year, which the installer also reads, counts here as 1 March.
    *days = DaysFromCivil(year, month, day) - static_cast<long>(time(nullptr) / kSecondsPerDay);
    return true;
}
