#include "reports/circuit_breaker.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

using Clock = CircuitBreaker::Clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(CircuitBreaker, ThreeFailuresInTheWindowOpenItForTheCooldown) {
  CircuitBreaker b;
  const Clock::time_point t0 = Clock::now();
  b.record_failure("web", t0);
  b.record_failure("web", t0 + seconds(1));
  EXPECT_TRUE(b.is_available("web", t0 + seconds(2)));
  EXPECT_EQ(b.health(t0 + seconds(2)).at("web"), "degraded (2 recent failures)");
  b.record_failure("web", t0 + seconds(2));
  EXPECT_FALSE(b.is_available("web", t0 + seconds(2)));
  EXPECT_EQ(b.health(t0 + seconds(2) + milliseconds(300)).at("web"), "UNAVAILABLE (599s cooldown, 3 failures)");
  EXPECT_FALSE(b.is_available("web", t0 + seconds(601)));
  // The cooldown equals the window: once it is over no failure counts.
  EXPECT_TRUE(b.health(t0 + seconds(602)).empty());
  EXPECT_TRUE(b.is_available("web", t0 + seconds(602)));
}

TEST(CircuitBreaker, HealthNeverClosesAnExpiredCircuit) {
  CircuitBreaker b(CircuitBreakerConfig{2, 600, 60});
  const Clock::time_point t0 = Clock::now();
  b.record_failure("t", t0);
  b.record_failure("t", t0 + seconds(10));
  EXPECT_EQ(b.health(t0 + seconds(10)).at("t"), "UNAVAILABLE (60s cooldown, 2 failures)");
  EXPECT_EQ(b.health(t0 + seconds(100)).at("t"), "degraded (2 recent failures)");
  // A failure after the cooldown counts the earlier ones still in the window.
  b.record_failure("t", t0 + seconds(101));
  EXPECT_FALSE(b.is_available("t", t0 + seconds(102)));
  EXPECT_TRUE(b.is_available("t", t0 + seconds(161)));
}

TEST(CircuitBreaker, OldFailuresLeaveTheWindowAndSuccessForgets) {
  CircuitBreaker b;
  const Clock::time_point t0 = Clock::now();
  for (int s : {0, 1, 700}) b.record_failure("db", t0 + seconds(s));
  EXPECT_TRUE(b.is_available("db", t0 + seconds(700)));
  EXPECT_EQ(b.health(t0 + seconds(700)).at("db"), "degraded (1 recent failures)");

  for (int s : {800, 801, 802}) b.record_failure("db", t0 + seconds(s));
  EXPECT_FALSE(b.is_available("db", t0 + seconds(803)));
  b.record_success("db");
  EXPECT_TRUE(b.is_available("db", t0 + seconds(803)));
  EXPECT_TRUE(b.health(t0 + seconds(803)).empty());
  b.record_success("never-failed");
  EXPECT_TRUE(b.is_available("never-failed"));
}

}  // namespace
}  // namespace vesk
