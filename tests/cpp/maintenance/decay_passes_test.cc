// The level decay and the route-state decay over a record map.
#include "maintenance/decay_passes.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace vesk {
namespace {

TEST(DecayPasses, TheLevelFactorIsPulledTowardsTheCeiling) {
  struct Case {
    const char* name;
    Level level;
    uint32_t activations;
    float salience;
    float want;
  };
  const Case cases[] = {
      {"working, unused", Level::Working, 0, 0.0f, 0.8f},
      {"working, 5 activations", Level::Working, 5, 0.0f, 0.8995f},
      {"any level, 10 activations", Level::Decisions, 10, 0.0f, 0.999f},
      {"identity, unused", Level::Identity, 0, 0.0f, 0.99f},
      {"identity, full salience: capped", Level::Identity, 0, 1.0f, 0.999f},
      {"salience clamped above", Level::Working, 0, 5.0f, 0.83f},
      {"negative salience counts as 0", Level::Domain, 0, -1.0f, 0.95f},
      {"NaN salience counts as 0", Level::Domain, 0, std::numeric_limits<float>::quiet_NaN(), 0.95f},
  };
  for (const Case& c : cases) {
    Record r;
    r.level = c.level;
    r.activation_count = c.activations;
    r.salience = c.salience;
    EXPECT_FLOAT_EQ(level_decay_factor(r), c.want) << c.name;
  }
}

RecordMap three_records() {
  RecordMap records;
  for (const char* id : {"weak", "pinned", "keeper"}) records[id].id = id;
  records.find_value("weak")->strength = 0.06f;
  Record& pinned = *records.find_value("pinned");
  pinned.pinned = true;
  pinned.strength = 0.01f;
  Record& keeper = *records.find_value("keeper");
  keeper.level = Level::Identity;
  keeper.connections = {{"weak", 0.9f}, {"pinned", 0.5f}, {"gone", 0.0504f}, {"faint", 0.0499f}};
  keeper.connection_types = {{"weak", "causal"}, {"faint", "causal"}};
  return records;
}

TEST(DecayPasses, LevelDecayArchivesWeakRecordsDropsWeakLinksAndFadesTheRest) {
  RecordMap records = three_records();
  const DecayPass pass = decay_by_level(records, {});
  EXPECT_EQ(pass.decayed, 3u);
  EXPECT_EQ(pass.removed, std::vector<std::string>{"weak"});
  EXPECT_FALSE(records.contains("weak"));
  EXPECT_EQ(records.find_value("pinned")->strength, 0.01f) << "pinned keeps its strength";
  const Record& keeper = *records.find_value("keeper");
  EXPECT_FLOAT_EQ(keeper.strength, 0.99f) << "identity decays too";
  EXPECT_EQ(keeper.connections.size(), 2u);
  EXPECT_FLOAT_EQ(keeper.connections.at("pinned"), 0.5f * 0.99f);
  EXPECT_FLOAT_EQ(keeper.connections.at("gone"), 0.0504f * 0.99f) << "the floor is tested before the fade";
  EXPECT_TRUE(keeper.connection_types.empty());
}

TEST(DecayPasses, RouteDecayDemotesAndDropsOnlyLinksToDemotedRecords) {
  RecordMap records = three_records();
  const DecayPass pass = decay_by_route(records, {});
  EXPECT_EQ(pass.decayed, 3u);
  EXPECT_EQ(pass.removed, std::vector<std::string>{"weak"});
  const Record& keeper = *records.find_value("keeper");
  EXPECT_EQ(keeper.strength, 1.0f);
  EXPECT_EQ(keeper.connections.size(), 3u);
  EXPECT_EQ(keeper.connections.at("faint"), 0.0499f) << "no floor, no fade";
  EXPECT_EQ(keeper.connection_types.size(), 1u);
}

TEST(DecayPasses, ProtectionKeepsWeakRecords) {
  RecordMap records;
  Record& r = records["a"];
  r.id = "a";
  r.strength = 0.01f;
  r.tags = {"contact"};
  EXPECT_TRUE(decay_by_level(records, StringSet{"contact"}).removed.empty());
  EXPECT_TRUE(decay_by_route(records, StringSet{"contact"}).removed.empty());
  EXPECT_EQ(decay_by_level(records, {}).removed.size(), 1u);
}

}  // namespace
}  // namespace vesk
