#include "base/rfc3339.h"

#include <date/date.h>

#include <chrono>
#include <cstdio>

namespace vesk {
namespace {

constexpr int64_t kNanosPerSecond = 1'000'000'000;

bool digits(std::string_view s, size_t pos, size_t n, int& out) {
  if (pos + n > s.size()) return false;
  int v = 0;
  for (size_t i = pos; i < pos + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  out = v;
  return true;
}

}  // namespace

std::string format_rfc3339_utc(UtcInstant t) {
  using namespace std::chrono;
  int64_t days = t.seconds / 86400, secs = t.seconds % 86400;
  if (secs < 0) {
    secs += 86400;
    --days;
  }
  date::year_month_day ymd{date::sys_days{date::days{days}}};
  const int year = static_cast<int>(ymd.year());
  char buf[64];
  char* p = buf;
  // Digit by digit (every stored record is stamped); a year outside
  // 0000-9999, which takes a sign or a fifth digit, through printf.
  auto put = [&p](uint32_t v, int width) {
    for (int i = width - 1; i >= 0; --i, v /= 10) p[i] = static_cast<char>('0' + v % 10);
    p += width;
  };
  if (year >= 0 && year <= 9999) {
    put(static_cast<uint32_t>(year), 4);
  } else {
    p += std::snprintf(buf, sizeof buf, "%04d", year);
  }
  *p++ = '-';
  put(static_cast<unsigned>(ymd.month()), 2);
  *p++ = '-';
  put(static_cast<unsigned>(ymd.day()), 2);
  *p++ = 'T';
  put(static_cast<uint32_t>(secs / 3600), 2);
  *p++ = ':';
  put(static_cast<uint32_t>(secs / 60 % 60), 2);
  *p++ = ':';
  put(static_cast<uint32_t>(secs % 60), 2);
  if (t.nanos != 0) {
    *p++ = '.';
    if (t.nanos % 1'000'000 == 0) {
      put(t.nanos / 1'000'000, 3);
    } else if (t.nanos % 1'000 == 0) {
      put(t.nanos / 1'000, 6);
    } else {
      put(t.nanos, 9);
    }
  }
  std::string out(buf, p);
  out += "+00:00";
  return out;
}

std::optional<UtcInstant> parse_rfc3339(std::string_view s) {
  int year, month, day, hour, minute, second;
  if (!digits(s, 0, 4, year) || s.size() < 19 || s[4] != '-' || !digits(s, 5, 2, month) || s[7] != '-' ||
      !digits(s, 8, 2, day) || (s[10] != 'T' && s[10] != 't' && s[10] != ' ') || !digits(s, 11, 2, hour) ||
      s[13] != ':' || !digits(s, 14, 2, minute) || s[16] != ':' || !digits(s, 17, 2, second)) {
    return std::nullopt;
  }
  date::year_month_day ymd{date::year{year}, date::month{static_cast<unsigned>(month)},
                           date::day{static_cast<unsigned>(day)}};
  if (!ymd.ok() || hour > 23 || minute > 59 || second > 60) return std::nullopt;

  size_t pos = 19;
  uint32_t nanos = 0;
  if (pos < s.size() && s[pos] == '.') {
    size_t start = ++pos;
    uint32_t scale = 100'000'000;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
      nanos += static_cast<uint32_t>(s[pos] - '0') * scale;
      scale /= 10;
      ++pos;
    }
    if (pos == start) return std::nullopt;
  }
  if (pos >= s.size()) return std::nullopt;
  int64_t offset = 0;
  if (s[pos] == 'Z' || s[pos] == 'z') {
    ++pos;
  } else if (s[pos] == '+' || s[pos] == '-') {
    int oh, om;
    if (!digits(s, pos + 1, 2, oh) || pos + 3 >= s.size() || s[pos + 3] != ':' || !digits(s, pos + 4, 2, om) ||
        oh > 23 || om > 59) {
      return std::nullopt;
    }
    offset = (oh * 3600 + om * 60) * (s[pos] == '-' ? -1 : 1);
    pos += 6;
  } else {
    return std::nullopt;
  }
  if (pos != s.size()) return std::nullopt;

  int64_t days = date::sys_days{ymd}.time_since_epoch().count();
  int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second - offset;
  return UtcInstant{seconds, nanos};
}

}  // namespace vesk
