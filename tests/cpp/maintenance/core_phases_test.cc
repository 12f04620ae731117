// The core phases of a cycle on a record map: the level fix's rules in their
// order and schedule, decay by route state with archival and link pruning,
// the switches, and the counts the cycle reports. The journal batch and its
// rollback are tested on a whole store (store/run_maintenance_test.cc).
#include "maintenance/core_phases.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/fixed_env.h"
#include "maintenance/insight_detectors.h"

namespace vesk {
namespace {

using testing::FixedEnv;

Record rec(std::string id, Level level = Level::Working, float strength = 1.0f) {
  Record r;
  r.id = std::move(id);
  r.level = level;
  r.strength = strength;
  r.created_at = r.last_activated = 1'750'000'000.0;
  return r;
}

struct CorePhases : ::testing::Test {
  FixedEnv env{{1'750'000'000, 0}};
  CycleContext cycle{MaintenanceConfig{}, TagTaxonomy{}, 0, env, {}, {}};
  RecordMap records;

  void add(Record r) {
    std::string id = r.id;
    records[id] = std::move(r);
  }
  CorePhasesResult run() { return maintenance_core_phases(records, cycle); }
};

TEST_F(CorePhases, LevelFixTakesTheFirstRuleThatHolds) {
  struct Case {
    const char* name;
    std::function<void(Record&)> set;
    Level want;
  };
  const Case cases[] = {
      {"pinned, no activations", [](Record& r) { r.pinned = true; }, Level::Identity},
      {"an identity tag", [](Record& r) { r.tags = {"identity"}; }, Level::Identity},
      {"identity and non-identity tags", [](Record& r) { r.tags = {"cache", "user-profile"}; }, Level::Identity},
      {"a non-identity tag despite tenure",
       [](Record& r) { r.tags = {"cache"}, r.activation_count = 50; }, Level::Domain},
      {"20 activations, 0.9", [](Record& r) { r.activation_count = 20, r.strength = 0.9f; }, Level::Identity},
      {"19 activations", [](Record& r) { r.activation_count = 19, r.strength = 0.9f; }, Level::Domain},
      {"strength 0.8999", [](Record& r) { r.activation_count = 20, r.strength = 0.8999f; }, Level::Domain},
      {"no claim", [](Record&) {}, Level::Domain},
  };
  for (const Case& c : cases) {
    records = RecordMap();
    Record r = rec("a", Level::Identity);
    c.set(r);
    add(r);
    run();
    EXPECT_EQ(records.find_value("a")->level, c.want) << c.name;
  }
}

TEST_F(CorePhases, LevelFixScheduleTakesAZeroIntervalAsOne) {
  struct Case {
    uint64_t interval, cycle_number;
    bool fixed;
  };
  for (const Case& c : {Case{0, 0, true}, Case{0, 7, true}, Case{10, 0, true}, Case{3, 1, false}, Case{3, 6, true}}) {
    records = RecordMap();
    add(rec("a", Level::Identity));
    cycle.config.level_fix_interval = c.interval;
    cycle.cycle_number = c.cycle_number;
    run();
    EXPECT_EQ(records.find_value("a")->level, c.fixed ? Level::Domain : Level::Identity)
        << c.interval << " " << c.cycle_number;
  }
}

TEST_F(CorePhases, DecayArchivesWeakUnprotectedRecordsAndPrunesTheirLinks) {
  add(rec("weak", Level::Working, 0.06f));
  Record closed = rec("closed", Level::Working, 0.01f);
  closed.valid_until = 4'000'000'000.0;
  add(closed);
  Record superseded = rec("superseded", Level::Working, 0.01f);
  superseded.superseded_at = 1.0;
  add(superseded);
  add(rec("pinned", Level::Working, 0.3f));
  records.find_value("pinned")->pinned = true;
  Record keeper = rec("keeper", Level::Domain);
  keeper.tags = {"identity"};  // the identity tags play no part in decay
  keeper.connections = {{"weak", 0.9f}, {"closed", 0.0504f}, {"pinned", 0.0499f}, {"ghost", 0.5f}};
  keeper.connection_types = {{"weak", "causal"}, {"pinned", "x"}, {"ghost", "y"}};
  add(keeper);

  const CorePhasesResult r = run();
  EXPECT_EQ(r.decay, (DecayReport{.decayed = 5, .archived = 1}));
  EXPECT_EQ(r.removed_ids, std::vector<std::string>{"weak"});
  EXPECT_FALSE(records.contains("weak"));
  EXPECT_EQ(records.find_value("pinned")->strength, 0.3f);
  EXPECT_EQ(records.find_value("closed")->strength, 0.01f * 0.8f);
  const Record& k = *records.find_value("keeper");
  EXPECT_EQ(k.strength, 0.8f);
  EXPECT_EQ(k.connections, (WeightMap{{"closed", 0.0504f * 0.99f}, {"ghost", 0.5f * 0.99f}}));
  EXPECT_EQ(k.connection_types, (ConnectionTypeMap{{"ghost", "y"}}));

  // Faded below the floor, the link goes in the next cycle.
  run();
  EXPECT_FALSE(records.find_value("keeper")->connections.contains("closed"));
}

TEST_F(CorePhases, SwitchedOffPhasesCountNothingAndReflectionKeepsLinksToWhatItArchives) {
  cycle.config.decay_enabled = false;
  cycle.config.insights_enabled = false;
  add(rec("weak", Level::Working, 0.04f));
  Record up = rec("up", Level::Working, 0.8f);
  up.activation_count = 5;
  up.connections = {{"weak", 0.02f}};
  add(up);
  const CorePhasesResult r = run();
  EXPECT_EQ(r.total_records, 2u);
  EXPECT_EQ(cycle.hotspots.records_before_cycle, 2u);
  EXPECT_EQ(r.decay, DecayReport{});
  EXPECT_EQ(r.insights_found, 0u);
  EXPECT_EQ(r.reflect.promoted, 1u);
  EXPECT_EQ(r.reflect.archived, 1u);
  EXPECT_EQ(r.removed_ids, std::vector<std::string>{"weak"});
  const Record& u = *records.find_value("up");
  EXPECT_EQ(u.level, Level::Decisions);
  EXPECT_EQ(u.strength, 0.8f);
  EXPECT_EQ(u.connections, (WeightMap{{"weak", 0.02f}}));

  cycle.config.reflect_enabled = false;
  add(rec("weak2", Level::Working, 0.04f));
  const CorePhasesResult off = run();
  EXPECT_EQ(off.reflect, ReflectReport{});
  EXPECT_TRUE(records.contains("weak2"));
}

TEST_F(CorePhases, CountsTheInsightsOfTheMapAsTheDetectorsLeaveIt) {
  for (const char* id : {"a", "b", "c"}) {
    Record r = rec(id);
    r.tags = {"kiln"};
    add(r);
  }
  const CorePhasesResult r = run();
  EXPECT_EQ(r.insights_found, run_insight_detectors(records, env).size());
  EXPECT_EQ(r.insights_found, 1u);  // the cluster
  EXPECT_EQ(r.epistemic.updated_records, 3u);
  EXPECT_EQ(r.total_records, 3u);

  records = RecordMap();
  EXPECT_EQ(run().decay, (DecayReport{.decayed = 0, .archived = 0}));
}

}  // namespace
}  // namespace vesk
