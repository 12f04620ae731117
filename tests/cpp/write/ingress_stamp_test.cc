#include "write/ingress_stamp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/rfc3339.h"

namespace vesk {
namespace {

TEST(IngressStamp, SourceTypeForChannel) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"voice", "recorded"},     {"user", "recorded"},        {"user-", "recorded"},
      {"USER-Desk", "recorded"}, {"System", "recorded"},      {"agent", "inferred"},
      {" \u00a0Agent-Worker\t", "inferred"}, {"agents", "retrieved"}, {"", "retrieved"},
      {"   ", "retrieved"},      {"web", "retrieved"},
  };
  for (const auto& [channel, expected] : cases) EXPECT_EQ(source_type_for_channel(channel), expected) << channel;
}

TEST(IngressStamp, TrustScoreHasTwoDecimals) {
  EXPECT_EQ(format_trust_score(0.5f), "0.50");
  EXPECT_EQ(format_trust_score(0.35f), "0.35");
  EXPECT_EQ(format_trust_score(1.0f), "1.00");
}

struct StampCase {
  std::optional<std::string> channel;
  StringMap given;
  std::vector<std::string> tags;
  StringMap expected;  // every key the stamp leaves; "timestamp" checked apart
};

TEST(IngressStamp, StampsProvenanceAndKeepsClaims) {
  const TagTaxonomy taxonomy;
  const TrustConfig trust;
  const UtcInstant now{1'740'823'200, 250'000'000};  // 2025-03-01T10:00:00.250
  const std::vector<StampCase> cases = {
      {std::nullopt, {}, {}, {{"source", "agent"}, {"verified", "false"}, {"trust_score", "0.50"}, {"volatility", "moderate"}}},
      {"voice", {}, {"contact"}, {{"source", "user-voice"}, {"verified", "true"}, {"trust_score", "0.50"}, {"volatility", "stable"}}},
      {"user", {}, {"cache"}, {{"source", "user"}, {"verified", "false"}, {"trust_score", "0.50"}, {"volatility", "volatile"}}},
      {"Voice", {}, {}, {{"source", "Voice"}, {"verified", "false"}, {"trust_score", "0.50"}, {"volatility", "moderate"}}},
      {"agent-worker", {}, {}, {{"source", "agent-worker"}, {"verified", "false"}, {"trust_score", "0.35"}, {"volatility", "moderate"}}},
      {"", {}, {}, {{"source", ""}, {"verified", "false"}, {"trust_score", "0.50"}, {"volatility", "moderate"}}},
      {"telegram",
       {{"source", "me"}, {"trust_score", "0.5"}, {"verified", "false"}, {"volatility", "volatile"}},
       {"identity"},
       {{"source", "user-telegram"}, {"claimed_source", "me"}, {"verified", "true"}, {"claimed_verified", "false"},
        {"trust_score", "0.50"}, {"claimed_trust_score", "0.5"}, {"volatility", "volatile"}}},
      // An equal caller value leaves no claimed_ key.
      {std::nullopt, {{"source", "agent"}}, {}, {{"source", "agent"}, {"verified", "false"}, {"trust_score", "0.50"}, {"volatility", "moderate"}}},
  };
  for (const StampCase& c : cases) {
    StringMap m = c.given;
    std::optional<std::string_view> channel;
    if (c.channel) channel = *c.channel;
    stamp_provenance_metadata(m, channel, c.tags, taxonomy, trust, now);
    EXPECT_EQ(m.at("timestamp"), "2025-03-01T10:00:00.250+00:00");
    m.erase("timestamp");
    EXPECT_EQ(m, c.expected) << c.channel.value_or("<none>");
  }
}

TEST(IngressStamp, FutureTimestampsAreReplacedOthersKept) {
  const UtcInstant now{1'740'823'200, 0};
  const std::string stamped = "2025-03-01T10:00:00+00:00";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"2099-01-01T00:00:00Z", stamped},
      {"2025-03-01 12:00:00+01:00", stamped},                    // 11:00 UTC
      {"2025-03-01 10:30:00+01:00", "2025-03-01 10:30:00+01:00"},  // 09:30 UTC
      {"2025-03-01t10:00:00.000000001z", stamped},
      {"2025-03-01T10:00:00+00:00", "2025-03-01T10:00:00+00:00"},  // not later than now
      {"2020-01-01T00:00:00-05:00", "2020-01-01T00:00:00-05:00"},
      {"tomorrow", "tomorrow"},
      {"2099-02-30T00:00:00Z", "2099-02-30T00:00:00Z"},  // no such day: not RFC 3339
  };
  for (const auto& [given, expected] : cases) {
    StringMap m{{"timestamp", given}};
    stamp_provenance_metadata(m, std::nullopt, {}, TagTaxonomy{}, TrustConfig{}, now);
    EXPECT_EQ(m.at("timestamp"), expected) << given;
    EXPECT_FALSE(m.contains("claimed_timestamp"));
  }
}

TEST(Rfc3339, FormatsFractionsInGroupsOfThree) {
  const std::vector<std::pair<UtcInstant, std::string>> cases = {
      {{0, 0}, "1970-01-01T00:00:00+00:00"},
      {{1'740'823'200, 250'000'000}, "2025-03-01T10:00:00.250+00:00"},
      {{1'740'823'200, 250'100'000}, "2025-03-01T10:00:00.250100+00:00"},
      {{1'740'823'200, 1}, "2025-03-01T10:00:00.000000001+00:00"},
      {{951'782'400, 0}, "2000-02-29T00:00:00+00:00"},
  };
  for (const auto& [t, text] : cases) {
    EXPECT_EQ(format_rfc3339_utc(t), text);
    EXPECT_EQ(parse_rfc3339(text), t) << text;
  }
  for (const char* bad : {"2025-03-01T10:00:00", "2025-03-01T10:00:00.+00:00", "2025-13-01T00:00:00Z",
                          "2025-03-01T24:00:00Z", "2025-03-01T10:00:00+24:00", "2025-03-01T10:00:00Zx",
                          "2025-3-01T10:00:00Z"}) {
    EXPECT_FALSE(parse_rfc3339(bad).has_value()) << bad;
  }
  EXPECT_EQ(parse_rfc3339("2025-03-01T10:00:00.1234567891-01:30")->nanos, 123'456'789u);
  EXPECT_EQ(parse_rfc3339("2025-03-01T10:00:00.5-01:30")->seconds, 1'740'823'200 + 5400);
}

}  // namespace
}  // namespace vesk
