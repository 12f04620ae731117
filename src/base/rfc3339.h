// RFC 3339 date-times: the text of the "timestamp" provenance key.
//
// Written form: "YYYY-MM-DDTHH:MM:SS+00:00" in UTC, with a fraction of exactly
// 3, 6 or 9 digits when the sub-second part is not zero (the fewest of these
// that hold the nanoseconds exactly), never "Z".
//
// Read form: date "T", "t" or " " time, an optional fraction of any length
// (digits past the ninth are dropped), then "Z", "z" or a "+HH:MM"/"-HH:MM"
// offset. Fields must be in range for their calendar month; a second of 60
// (a leap second) is read as the first instant of the next minute.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/utc_instant.h"

namespace vesk {

std::string format_rfc3339_utc(UtcInstant t);
std::optional<UtcInstant> parse_rfc3339(std::string_view text);

}  // namespace vesk
