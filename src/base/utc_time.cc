#include "base/utc_time.h"

#include <charconv>

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

  // Written digit by digit (a printf costs more than the calendar).
  char buf[48];
  char* p = std::to_chars(buf, buf + 24, year).ptr;
  auto two = [&p](char sep, uint64_t v) {
    p[0] = sep;
    p[1] = static_cast<char>('0' + v / 10);
    p[2] = static_cast<char>('0' + v % 10);
    p += 3;
  };
  two('-', month);
  two('-', day);
  two('T', secs / 3600);
  two(':', secs / 60 % 60);
  two(':', secs % 60);
  *p++ = 'Z';
  return std::string(buf, p);
}

}  // namespace vesk
