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

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// An instant as whole Unix seconds and nanoseconds into that second.
struct UtcInstant {
  int64_t seconds = 0;
  uint32_t nanos = 0;  // 0 .. 999,999,999
  auto operator<=>(const UtcInstant&) const = default;
};

// The system clock, now.
UtcInstant utc_now();

std::string format_rfc3339_utc(UtcInstant t);
std::optional<UtcInstant> parse_rfc3339(std::string_view text);

}  // namespace vesk
