#include "base/rfc3339.h"

#include <date/date.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

namespace vesk {
namespace {

// The written form spelled out with printf: four-digit (or signed, or
// longer) year, two-digit fields, the fraction in 3, 6 or 9 digits.
std::string plain_format(UtcInstant t) {
  int64_t days = t.seconds / 86400, secs = t.seconds % 86400;
  if (secs < 0) {
    secs += 86400;
    --days;
  }
  date::year_month_day ymd{date::sys_days{date::days{days}}};
  char buf[80];
  int n = std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02d", static_cast<int>(ymd.year()),
                        static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                        static_cast<int>(secs / 3600), static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60));
  std::string out(buf, static_cast<size_t>(n));
  if (t.nanos % 1'000'000'000 != 0) {
    if (t.nanos % 1'000'000 == 0) {
      n = std::snprintf(buf, sizeof buf, ".%03u", t.nanos / 1'000'000);
    } else if (t.nanos % 1'000 == 0) {
      n = std::snprintf(buf, sizeof buf, ".%06u", t.nanos / 1'000);
    } else {
      n = std::snprintf(buf, sizeof buf, ".%09u", t.nanos);
    }
    out.append(buf, static_cast<size_t>(n));
  }
  return out + "+00:00";
}

// Instants before the epoch, in years of one to five digits, with every
// kind of fraction: the written form is the plain one, and reads back.
TEST(Rfc3339, FormatIsThePlainFormAndReadsBack) {
  std::mt19937_64 rng(14);
  const int64_t spans[] = {86400, 4'000'000'000, 300'000'000'000};
  for (int i = 0; i < 30000; ++i) {
    const int64_t span = spans[i % 3];
    UtcInstant t;
    t.seconds = static_cast<int64_t>(rng() % static_cast<uint64_t>(2 * span)) - span / 4;
    switch (rng() % 4) {
      case 0: t.nanos = 0; break;
      case 1: t.nanos = static_cast<uint32_t>(rng() % 1000) * 1'000'000; break;
      case 2: t.nanos = static_cast<uint32_t>(rng() % 1'000'000) * 1'000; break;
      default: t.nanos = static_cast<uint32_t>(rng() % 1'000'000'000); break;
    }
    const std::string text = format_rfc3339_utc(t);
    ASSERT_EQ(text, plain_format(t)) << t.seconds << " " << t.nanos;
    if (t.seconds >= 0 && t.seconds < 253402300800) {
      auto back = parse_rfc3339(text);
      ASSERT_TRUE(back) << text;
      EXPECT_EQ(back->seconds, t.seconds);
      EXPECT_EQ(back->nanos, t.nanos);
    }
  }
}

}  // namespace
}  // namespace vesk
