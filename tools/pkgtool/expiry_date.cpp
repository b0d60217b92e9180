#include "pkgtool/expiry_date.h"

#include "common/fixed_string.h"
#include "common/number_text.h"
#include "common/signed_file.h"

#include <ctime>

namespace {

constexpr long kSecondsPerDay = 86400;

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
    *days = DayNumber({year, month, day}) - static_cast<long>(time(nullptr) / kSecondsPerDay);
    return true;
}
