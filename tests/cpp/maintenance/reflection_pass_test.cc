// Promotion and archival of the reflection pass, in both forms.
#include "maintenance/reflection_pass.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

namespace vesk {
namespace {

Record candidate(Level level, uint32_t activations, float strength) {
  Record r;
  r.id = "a";
  r.level = level;
  r.activation_count = activations;
  r.strength = strength;
  return r;
}

TEST(ReflectionPass, PromotesOneLevelAndCountsTheFirstRefusal) {
  struct Case {
    const char* name;
    Record r;
    Level want;
    ReflectReport counts;
  };
  auto with = [](Record r, const std::function<void(Record&)>& f) {
    f(r);
    return r;
  };
  const Case cases[] = {
      {"working at the bar", candidate(Level::Working, 5, 0.7f), Level::Decisions, {.promoted = 1}},
      {"working with conflicts and volatility",
       with(candidate(Level::Working, 5, 0.7f), [](Record& r) { r.conflict_mass = 3, r.volatility = 0.9f; }),
       Level::Decisions, {.promoted = 1}},
      {"below the activation bar", candidate(Level::Working, 4, 0.9f), Level::Working, {}},
      {"NaN strength (pinned, so not archived)",
       with(candidate(Level::Working, 9, std::numeric_limits<float>::quiet_NaN()), [](Record& r) { r.pinned = true; }),
       Level::Working, {}},
      {"decisions, clean", candidate(Level::Decisions, 5, 0.7f), Level::Domain, {.promoted = 1}},
      {"decisions with a conflict",
       with(candidate(Level::Decisions, 5, 0.7f), [](Record& r) { r.conflict_mass = 1, r.volatility = 0.5f; }),
       Level::Decisions, {.blocked_conflict = 1}},
      {"a contradiction record",
       with(candidate(Level::Domain, 30, 1.0f), [](Record& r) { r.semantic_type = "contradiction"; }),
       Level::Domain, {.blocked_conflict = 1}},
      {"volatile decisions", with(candidate(Level::Decisions, 5, 0.7f), [](Record& r) { r.volatility = 0.2f; }),
       Level::Decisions, {.blocked_volatility = 1}},
      {"domain, 19 activations", with(candidate(Level::Domain, 19, 0.95f), [](Record& r) { r.volatility = 0.1f; }),
       Level::Domain, {.blocked_identity_threshold = 1}},
      {"domain, strength 0.89", candidate(Level::Domain, 25, 0.89f), Level::Domain,
       {.blocked_identity_threshold = 1}},
      {"domain with tenure", candidate(Level::Domain, 20, 0.9f), Level::Identity, {.promoted = 1}},
      {"identity stays", candidate(Level::Identity, 50, 1.0f), Level::Identity, {}},
  };
  for (const Case& c : cases) {
    RecordMap records;
    records["a"] = c.r;
    const PromotionAndArchival out = promote_and_archive(records, {}, {});
    ASSERT_TRUE(records.contains("a")) << c.name;
    EXPECT_EQ(records.find_value("a")->level, c.want) << c.name;
    EXPECT_EQ(out.report, c.counts) << c.name;
  }
}

TEST(ReflectionPass, OnlyReflectTestsTheValidityWindow) {
  const double now = 1000.0;
  struct Case {
    const char* name;
    std::optional<double> from, until;
    bool promoted;
  };
  const Case cases[] = {
      {"no window", {}, {}, true},
      {"from now", now, {}, true},
      {"from later", now + 1, {}, false},
      {"until later", {}, now + 1, true},
      {"until now", {}, now, false},
      {"until NaN", {}, std::numeric_limits<double>::quiet_NaN(), false},
  };
  for (const Case& c : cases) {
    for (bool in_reflect : {true, false}) {
      RecordMap records;
      Record r = candidate(Level::Working, 5, 0.8f);
      r.valid_from = c.from;
      r.valid_until = c.until;
      records["a"] = r;
      ReflectionForm form;
      if (in_reflect) form.now = now;
      const PromotionAndArchival out = promote_and_archive(records, {}, form);
      EXPECT_EQ(out.report.promoted, in_reflect ? c.promoted : true) << c.name << (in_reflect ? "" : " (cycle)");
    }
  }
}

TEST(ReflectionPass, ArchivesWeakUnprotectedRecordsAndReflectDropsTheirLinks) {
  for (bool drop : {true, false}) {
    RecordMap records;
    auto add = [&](std::string id, float strength, bool pinned) {
      Record& r = records[id];
      r.id = id;
      r.strength = strength;
      r.pinned = pinned;
      return &r;
    };
    add("weak", 0.04f, false);
    add("nan", std::numeric_limits<float>::quiet_NaN(), false);
    add("pinned", 0.01f, true);
    Record* keeper = add("keeper", 0.9f, false);
    keeper->connections = {{"weak", 0.5f}, {"pinned", 0.5f}};
    keeper->connection_types = {{"nan", "causal"}};

    const PromotionAndArchival out = promote_and_archive(records, {}, {.drop_links_to_archived = drop});
    EXPECT_EQ(out.archived, (std::vector<std::string>{"weak", "nan"}));
    EXPECT_EQ(out.report.archived, 2u);
    EXPECT_TRUE(records.contains("pinned"));
    const Record& k = *records.find_value("keeper");
    EXPECT_EQ(k.connections.size(), drop ? 1u : 2u);
    EXPECT_EQ(k.connection_types.size(), drop ? 0u : 1u);
  }
}

}  // namespace
}  // namespace vesk
