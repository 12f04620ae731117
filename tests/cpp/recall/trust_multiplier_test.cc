#include "recall/trust_multiplier.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/rfc3339.h"

namespace vesk {
namespace {

constexpr double kNow = 1'700'000'000.0;  // 2023-11-14T22:13:20Z

std::string stamp(double secs_ago) {
  return format_rfc3339_utc(UtcInstant{static_cast<int64_t>(kNow - secs_ago), 0});
}

TEST(TrustMultiplier, RecordsWithoutMetadataByFactor) {
  const TrustConfig trust;
  struct Case {
    const char* source_type;
    float want;
  } cases[] = {{"recorded", 0.425f}, {"retrieved", 0.3825f}, {"inferred", 0.36125f},
               {"generated", 0.34f}, {"Recorded", 0.3825f}};
  for (const Case& c : cases) EXPECT_FLOAT_EQ(trust_multiplier({}, trust, c.source_type, kNow), c.want) << c.source_type;
}

TEST(TrustMultiplier, MetadataValues) {
  const TrustConfig trust;
  struct Case {
    const char* name;
    StringMap metadata;
    float want;
  } cases[] = {
      {"trust score and authority", {{"trust_score", "0.6"}, {"source", "system"}}, 0.9f * 0.6f},
      {"unknown source", {{"trust_score", "0.6"}, {"source", "elsewhere"}}, 0.85f * 0.6f},
      {"plus sign", {{"trust_score", "+0.6"}, {"source", "system"}}, 0.9f * 0.6f},
      {"not a number", {{"trust_score", "high"}}, 0.425f},
      {"NaN counts as missing", {{"trust_score", "NaN"}}, 0.425f},
      {"infinity counts as missing", {{"trust_score", "inf"}}, 0.425f},
      {"overflow counts as missing", {{"trust_score", "1e39"}}, 0.425f},
      {"trailing text", {{"trust_score", "0.6x"}}, 0.425f},
      {"clamped up", {{"trust_score", "-3"}}, 0.05f},
      {"clamped down", {{"trust_score", "5"}, {"source", "user-voice"}}, 1.0f},
      // Fresh stamp: full boost 0.2; 3.5 days: 0.1; a week or more: none.
      {"fresh", {{"timestamp", stamp(60)}}, 0.85f * 0.7f},
      {"three and a half days", {{"timestamp", stamp(84 * 3600)}}, 0.85f * 0.6f},
      {"a week", {{"timestamp", stamp(7 * 86400)}}, 0.425f},
      {"future stamp", {{"timestamp", stamp(-86400)}}, 0.85f * 0.7f},
      {"created_at when no timestamp", {{"created_at", stamp(60)}}, 0.85f * 0.7f},
      {"unreadable timestamp, no fallback", {{"timestamp", "yesterday"}, {"created_at", stamp(60)}}, 0.425f},
  };
  for (const Case& c : cases) EXPECT_FLOAT_EQ(trust_multiplier(c.metadata, trust, "recorded", kNow), c.want) << c.name;
}

TEST(TrustMultiplier, NeverNaN) {
  const StringMap fresh = {{"timestamp", stamp(0)}};
  TrustConfig zero_half_life;
  zero_half_life.recency_half_life_days = 0.0f;
  EXPECT_EQ(recency_boost(zero_half_life, static_cast<long long>(kNow), kNow), 0.0f);
  EXPECT_EQ(recency_boost(zero_half_life, std::nullopt, kNow), 0.0f);
  EXPECT_FLOAT_EQ(trust_multiplier(fresh, zero_half_life, "recorded", kNow), 0.425f);

  TrustConfig nan_model;
  nan_model.recency_boost_max = std::nanf("");
  nan_model.source_authority[""] = std::nanf("");
  EXPECT_EQ(trust_multiplier(fresh, nan_model, "recorded", kNow), kTrustFloor);
  EXPECT_EQ(trust_multiplier(fresh, nan_model, "recorded", std::nan("")), kTrustFloor);
}

}  // namespace
}  // namespace vesk
