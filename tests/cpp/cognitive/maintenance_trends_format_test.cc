#include "cognitive/maintenance_trends_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cognitive/history_file_save.h"
#include "cognitive/history_fixtures.h"

namespace vesk {
namespace {

using testing::trend_snapshot;

// The members of one valid snapshot in written order, as JSON texts.
const std::vector<std::pair<std::string, std::string>> kMembers = {
    {"timestamp", "\"2025-06-15T14:00:00+00:00\""},
    {"total_records", "7"},
    {"records_archived", "0"},
    {"insights_found", "1"},
    {"volatile_records", "0"},
    {"belief_churn", "0.5"},
    {"causal_rejection_rate", "0"},
    {"policy_suppression_rate", "1e-3"},
    {"feedback_beliefs_touched", "0"},
    {"feedback_net_confidence_delta", "-0.25"},
    {"feedback_net_volatility_delta", "0.0"},
    {"correction_events", "2"},
    {"cumulative_corrections", "18446744073709551615"},
    {"cycle_time_ms", "3.5"},
    {"dominant_phase", "\"decay\""},
};

// One snapshot object with `replace` swapped in for the member it names
// ("" value: the member is left out), then `extra` members.
std::string snapshot_object(const std::pair<std::string, std::string>& replace = {}, const std::string& extra = "") {
  std::string out = "{";
  for (const auto& [key, value] : kMembers) {
    std::string v = key == replace.first ? replace.second : value;
    if (v.empty()) continue;
    if (out.size() > 1) out += ",";
    out += "\"" + key + "\":" + v;
  }
  return out + extra + "}";
}

std::string snapshot_array(size_t count) {
  std::string out = "[";
  for (size_t i = 0; i < count; ++i) out += (i ? "," : "") + kMembers[i % kMembers.size()].second;
  return out + "]";
}

TEST(MaintenanceTrendsFormat, ReaderIsStrictAboutEveryMember) {
  struct Case {
    std::string element;
    std::string error_prefix;  // "" when the file loads
  };
  const Case cases[] = {
      {snapshot_object(), ""},
      {snapshot_array(15), ""},
      {snapshot_object({}, ",\"note\":{\"any\":[null,1]}"), ""},
      {snapshot_object({"dominant_phase", ""}), "missing field `dominant_phase` at line 2 column "},
      {snapshot_object({}, ",\"timestamp\":\"again\""), "duplicate field `timestamp` at line 2 column "},
      {snapshot_object({"belief_churn", "null"}), "invalid type: null, expected f32 at line "},
      {snapshot_object({"cycle_time_ms", "null"}), "invalid type: null, expected f64 at line "},
      {snapshot_object({"belief_churn", "1e39"}), "number out of range at line "},
      {snapshot_object({"correction_events", "-1"}), "invalid value: integer `-1`, expected u64 at line "},
      {snapshot_object({"total_records", "7.0"}), "invalid type: floating point `7.0`, expected u64 at line "},
      {snapshot_object({"timestamp", "null"}), "invalid type: null, expected a string at line "},
      {snapshot_array(14), "invalid length 14, expected struct MaintenanceTrendSnapshot with 15 elements at line "},
      {snapshot_array(16), "trailing characters at line "},
  };
  for (const Case& c : cases) {
    // The bad element comes second: one bad snapshot refuses the whole file.
    auto parsed = parse_maintenance_trends("[" + snapshot_object() + ",\n" + c.element + "]");
    if (c.error_prefix.empty()) {
      ASSERT_TRUE(parsed.ok()) << c.element << ": " << parsed.status().message();
      ASSERT_EQ(parsed->size(), 2u);
      EXPECT_EQ((*parsed)[1], (*parsed)[0]) << c.element;
    } else {
      ASSERT_FALSE(parsed.ok()) << c.element;
      EXPECT_EQ(parsed.status().message().rfind(c.error_prefix, 0), 0u)
          << c.element << "\n  gave: " << parsed.status().message();
    }
  }
}

TEST(MaintenanceTrendsFormat, ValuesReadAsWritten) {
  auto parsed = parse_maintenance_trends("[" + snapshot_object() + "]");
  ASSERT_TRUE(parsed.ok());
  const MaintenanceTrendSnapshot& s = (*parsed)[0];
  EXPECT_EQ(s.timestamp, "2025-06-15T14:00:00+00:00");
  EXPECT_EQ(s.cumulative_corrections, UINT64_MAX);
  EXPECT_EQ(s.policy_suppression_rate, 1e-3f);
  EXPECT_EQ(s.feedback_net_confidence_delta, -0.25f);
  EXPECT_EQ(s.cycle_time_ms, 3.5);
  EXPECT_EQ(s.dominant_phase, "decay");
}

TEST(MaintenanceTrendsFormat, WrittenPrettyInTableOrder) {
  MaintenanceTrendSnapshot s = trend_snapshot(1);
  s.cycle_time_ms = 0.1;  // 64-bit: its own shortest form
  const std::string text = history_json(std::vector<MaintenanceTrendSnapshot>{s});
  EXPECT_EQ(text,
            "[\n"
            "  {\n"
            "    \"timestamp\": \"2025-06-15T14:01:00.5+00:00\",\n"
            "    \"total_records\": 101,\n"
            "    \"records_archived\": 1,\n"
            "    \"insights_found\": 2,\n"
            "    \"volatile_records\": 3,\n"
            "    \"belief_churn\": 0.1,\n"
            "    \"causal_rejection_rate\": 0.25,\n"
            "    \"policy_suppression_rate\": 0.9,\n"
            "    \"feedback_beliefs_touched\": 4,\n"
            "    \"feedback_net_confidence_delta\": -0.05,\n"
            "    \"feedback_net_volatility_delta\": 0.02,\n"
            "    \"correction_events\": 1,\n"
            "    \"cumulative_corrections\": 11,\n"
            "    \"cycle_time_ms\": 0.1,\n"
            "    \"dominant_phase\": \"belief\"\n"
            "  }\n"
            "]");
  auto back = parse_maintenance_trends(text);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(*back, std::vector<MaintenanceTrendSnapshot>{s});
}

}  // namespace
}  // namespace vesk
