#include "base/utc_time.h"

#include "base/env.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <random>

namespace vesk {
namespace {

TEST(UtcTime, TimeIsoFollowsTheGregorianCalendar) {
  const struct {
    uint64_t seconds;
    const char* text;
  } cases[] = {
      {0, "1970-01-01T00:00:00Z"},
      {94694399, "1972-12-31T23:59:59Z"},
      {951825600, "2000-02-29T12:00:00Z"},   // a century that is a leap year
      {1704067199, "2023-12-31T23:59:59Z"},
      {1709251199, "2024-02-29T23:59:59Z"},
      {4107542399, "2100-02-28T23:59:59Z"},  // a century that is not
      {4107542400, "2100-03-01T00:00:00Z"},
      {253402300799, "9999-12-31T23:59:59Z"},
      {253402300800, "10000-01-01T00:00:00Z"},
  };
  for (const auto& c : cases) EXPECT_EQ(time_iso(c.seconds), c.text) << c.seconds;
}

// The C library's calendar agrees wherever its time_t reaches.
TEST(UtcTime, TimeIsoAgreesWithTheCLibrary) {
  std::mt19937_64 rng(2);
  for (int i = 0; i < 20000; ++i) {
    const uint64_t s = rng() % 253402300800;
    const time_t t = static_cast<time_t>(s);
    std::tm tm{};
    ASSERT_TRUE(gmtime_r(&t, &tm));
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    std::string expected = buf;
    // strftime pads the year to four digits; time_iso writes as many as it needs.
    while (expected.size() > 20 && expected[0] == '0') expected.erase(0, 1);
    ASSERT_EQ(time_iso(s), expected) << s;
  }
}

TEST(UtcInstant, ConversionsKeepTheFractionAndStopAtTheEpoch) {
  const struct {
    UtcInstant t;
    double seconds;
    uint64_t millis;
  } cases[] = {
      {{0, 0}, 0.0, 0},
      {{1709251199, 999'999'999}, 1709251199.0 + 999'999'999 / 1e9, 1709251199999},
      {{1709251199, 1'500'000}, 1709251199.0 + 0.0015, 1709251199001},
      {{-1, 999'000'000}, 0.0, 0},  // before the epoch
  };
  for (const auto& c : cases) {
    EXPECT_EQ(unix_seconds(c.t), c.seconds) << c.t.seconds;
    EXPECT_EQ(unix_millis(c.t), c.millis) << c.t.seconds;
  }
}

TEST(UtcInstant, TheDefaultEnvReadsTheSystemClock) {
  auto ms = [] {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count());
  };
  uint64_t before = ms();
  uint64_t now = Env::Default().now_millis();
  EXPECT_GE(now, before);
  EXPECT_LE(now, ms());
}

}  // namespace
}  // namespace vesk
