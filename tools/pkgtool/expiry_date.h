#pragma once
// The expires= dates of the configuration and the update list: the last day (UTC) on which an
// installer with publisher keys takes the signed file.
#include <string>

// The date `days` after today (UTC), as "YYYY-MM-DD".
std::string ExpiryDate(int days);

// The days from today (UTC) until `date`: 0 on its last day, negative once it has passed. False
// when `date` is no date the installer reads (common/number_text.h, ParseDate).
bool DaysUntil(const char* date, long* days);
