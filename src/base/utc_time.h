// The UTC date-time text of audit timestamps.
//
// The calendar is computed here, from the day count, rather than through the
// C library: gmtime depends on the platform's time_t range and takes a lock
// on some platforms, and the audit journal calls this on every append.
#pragma once

#include <cstdint>
#include <string>

namespace vesk {

// "YYYY-MM-DDTHH:MM:SSZ": the UTC date and time of whole Unix seconds in the
// proleptic Gregorian calendar; month, day, hour, minute and second have two
// digits, the year as many as it needs.
std::string time_iso(uint64_t unix_seconds);

}  // namespace vesk
