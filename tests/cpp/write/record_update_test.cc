#include "write/record_update.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vesk {
namespace {

TEST(UpdatedMetadata, KeepsWhatTheStampsAndTheCaptureWrote) {
  const StringMap stored = {
      {"source", "user-desktop"}, {"verified", "true"},       {"trust_score", "0.90"},
      {"timestamp", "t0"},        {"channel", "desktop"},      {"volatility", "0.2"},
      {"claimed_source", "old"},  {"feedback_positive", "3"},  {"cu_id", "u1"},
      {"kind", "consequence_unit"}, {"vesk.audit.v1.kind", "claim"}, {"superseded_by", "b1"},
      {"acl_visibility", "restricted"}, {"acl_read_roles", "ops"},
  };
  const struct {
    const char* name;
    StringMap given;
    StringMap expected_extra;  // besides the kept keys of `stored`
    StringMap overrides;       // kept keys the caller's map replaced
  } cases[] = {
      {"a differing source is claimed", {{"source", "x"}, {"k", "v"}}, {{"claimed_source", "x"}, {"k", "v"}}, {}},
      {"an equal source is dropped", {{"source", "user-desktop"}}, {}, {}},
      {"system keys override the caller", {{"timestamp", "t9"}, {"cu_id", "u9"}, {"kind", "note"}}, {}, {}},
      {"the caller may name the mark and the access keys",
       {{"superseded_by", ""}, {"acl_visibility", "public"}},
       {},
       {{"superseded_by", ""}, {"acl_visibility", "public"}}},
  };
  for (const auto& c : cases) {
    StringMap expected = {
        {"source", "user-desktop"}, {"verified", "true"},           {"trust_score", "0.90"},
        {"timestamp", "t0"},        {"cu_id", "u1"},                {"kind", "consequence_unit"},
        {"vesk.audit.v1.kind", "claim"}, {"superseded_by", "b1"}, {"acl_visibility", "restricted"},
        {"acl_read_roles", "ops"},
    };
    for (const auto& [k, v] : c.expected_extra) expected.insert_or_assign(k, v);
    for (const auto& [k, v] : c.overrides) expected.insert_or_assign(k, v);
    EXPECT_EQ(updated_metadata(stored, c.given), expected) << c.name;
  }
  // "kind" with another stored value is the caller's to change or drop.
  EXPECT_EQ(updated_metadata({{"kind", "note"}}, {}), StringMap{});
}

TEST(UpdatedTags, CarryTheConsequenceTagsTheCallerLeftOut) {
  EXPECT_EQ(updated_tags({"consequence-unit", "old", "consequence-refute"}, {"new", "consequence-refute"}),
            (std::vector<std::string>{"new", "consequence-refute", "consequence-unit"}));
  EXPECT_EQ(updated_tags({"old"}, {"b", "a", "b"}), (std::vector<std::string>{"b", "a", "b"}));
}

TEST(SourceType, MayBeLoweredNeverRaised) {
  const struct {
    const char *stored, *given;
    bool ok;
  } cases[] = {
      {"recorded", "generated", true}, {"recorded", "recorded", true}, {"retrieved", "inferred", true},
      {"generated", "recorded", false}, {"inferred", "retrieved", false}, {"legacy", "retrieved", true},
      {"legacy", "recorded", false},
  };
  for (const auto& c : cases) EXPECT_EQ(check_source_type_not_raised(c.stored, c.given).ok(), c.ok) << c.stored;
  EXPECT_EQ(check_source_type_not_raised("generated", "recorded").message(),
            "cannot raise source_type from generated to recorded via update");
}

TEST(UpdatedConfidence, BaseOfTheSourceTypeTimesTheCertaintyFactor) {
  Record r;
  r.source_type = "retrieved";
  EXPECT_FLOAT_EQ(updated_confidence(r), 0.75f);
  r.metadata["claim_certainty"] = "hedged";
  EXPECT_FLOAT_EQ(updated_confidence(r), 0.75f * 0.85f);
  r.metadata["claim_certainty"] = "unsure";
  EXPECT_FLOAT_EQ(updated_confidence(r), 0.75f);
}

TEST(Feedback, CountersAndStrength) {
  const struct {
    const char* stored;  // null: absent
    uint32_t reads;
  } counters[] = {{nullptr, 0}, {"", 0}, {"7", 7}, {"+7", 7}, {"word", 0}, {"-1", 0}, {"++1", 0},
                  {"4294967295", 4294967295u}, {"4294967296", 0}, {"1 ", 0}};
  for (const auto& c : counters) {
    StringMap m;
    if (c.stored) m["feedback_positive"] = c.stored;
    EXPECT_EQ(read_feedback_counter(m, kFeedbackPositiveKey), c.reads) << (c.stored ? c.stored : "absent");
  }

  Record r;
  r.strength = 0.95f;
  r.metadata["feedback_positive"] = "+7";
  apply_feedback(r, true, 1700000000.12345);
  EXPECT_EQ(r.strength, 1.0f);
  EXPECT_EQ(r.metadata.at("feedback_positive"), "8");
  EXPECT_FALSE(r.metadata.contains("feedback_negative"));
  EXPECT_EQ(r.metadata.at("feedback_last"), "1700000000.123");
  r.strength = 0.1f;
  r.metadata["feedback_negative"] = "word";
  apply_feedback(r, false, 0.0);
  EXPECT_EQ(r.strength, 0.0f);
  EXPECT_EQ(r.metadata.at("feedback_negative"), "1");
  EXPECT_EQ(r.metadata.at("feedback_last"), "0.000");
}

}  // namespace
}  // namespace vesk
