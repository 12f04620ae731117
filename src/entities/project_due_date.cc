#include "entities/project_due_date.h"

#include "base/rfc3339.h"

namespace vesk {
namespace {

constexpr int64_t kSecondsPerDay = 86400;

int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days since 1970-01-01 of a proleptic Gregorian date (March-based years, so
// the leap day falls at the end of a year).
int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = floor_div(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool is_leap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned days_in_month(int64_t y, unsigned m) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && is_leap(y) ? 29 : kDays[m - 1];
}

// Reads 1..max_digits ASCII digits at `pos`.
bool read_number(std::string_view s, size_t& pos, size_t max_digits, int64_t& out) {
  size_t start = pos;
  out = 0;
  while (pos < s.size() && pos - start < max_digits && s[pos] >= '0' && s[pos] <= '9') out = out * 10 + (s[pos++] - '0');
  return pos > start;
}

std::optional<int64_t> parse_plain_date(std::string_view s) {
  size_t pos = 0;
  int64_t y = 0, m = 0, d = 0;
  if (!read_number(s, pos, 4, y) || pos >= s.size() || s[pos++] != '-') return std::nullopt;
  if (!read_number(s, pos, 2, m) || pos >= s.size() || s[pos++] != '-') return std::nullopt;
  if (!read_number(s, pos, 2, d) || pos != s.size()) return std::nullopt;
  if (m < 1 || m > 12 || d < 1 || d > days_in_month(y, static_cast<unsigned>(m))) return std::nullopt;
  return days_from_civil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
}

// The offset a parsed date-time text ends with, in seconds east of UTC.
int64_t written_offset_seconds(std::string_view s) {
  if (s.size() < 6 || s.back() == 'Z' || s.back() == 'z') return 0;
  std::string_view o = s.substr(s.size() - 6);  // "+HH:MM" or "-HH:MM"
  const int64_t minutes = ((o[1] - '0') * 10 + (o[2] - '0')) * 60 + (o[4] - '0') * 10 + (o[5] - '0');
  return (o[0] == '-' ? -60 : 60) * minutes;
}

}  // namespace

int64_t utc_day(UtcInstant t) { return floor_div(t.seconds, kSecondsPerDay); }

std::optional<ProjectDue> parse_project_due(std::string_view text) {
  if (std::optional<UtcInstant> at = parse_rfc3339(text)) {
    return ProjectDue{floor_div(at->seconds + written_offset_seconds(text), kSecondsPerDay), at->seconds};
  }
  if (std::optional<int64_t> day = parse_plain_date(text)) return ProjectDue{*day, *day * kSecondsPerDay};
  return std::nullopt;
}

}  // namespace vesk
