#include "base/utc_time.h"

#include <cstdio>

namespace vesk {

std::string time_iso(uint64_t unix_seconds) {
  const uint64_t days = unix_seconds / 86400;
  const uint64_t secs = unix_seconds % 86400;
  // Civil date from a day count: shift the epoch to 0000-03-01 so that leap
  // days fall at the end of a year, then split into 400-year eras of 146097
  // days, years of the era, and days of the year (March-based months of
  // 153 days per 5 months).
  const uint64_t z = days + 719468;
  const uint64_t era = z / 146097;
  const uint64_t doe = z - era * 146097;                                 // [0, 146096]
  const uint64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // [0, 399]
  const uint64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);          // [0, 365]
  const uint64_t mp = (5 * doy + 2) / 153;                               // [0, 11], March = 0
  const uint64_t day = doy - (153 * mp + 2) / 5 + 1;
  const uint64_t month = mp < 10 ? mp + 3 : mp - 9;
  const uint64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);

  char buf[48];
  const int n = std::snprintf(buf, sizeof buf, "%llu-%02llu-%02lluT%02llu:%02llu:%02lluZ",
                              static_cast<unsigned long long>(year), static_cast<unsigned long long>(month),
                              static_cast<unsigned long long>(day), static_cast<unsigned long long>(secs / 3600),
                              static_cast<unsigned long long>(secs / 60 % 60), static_cast<unsigned long long>(secs % 60));
  return std::string(buf, static_cast<size_t>(n));
}

}  // namespace vesk
