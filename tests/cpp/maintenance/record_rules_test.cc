// The record rules every record-changing maintenance pass shares: the
// route-state decay factor and the change detection of a journal batch.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "maintenance/record_change_detection.h"
#include "maintenance/route_state_decay.h"

namespace vesk {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(RouteStateDecay, TheStateAndFactorFollowTheConsequenceTags) {
  struct Case {
    const char* name;
    std::vector<std::string> tags;
    Level level;
    bool pinned;
    RouteStateClass state;
    float factor;
  };
  const Case cases[] = {
      {"no consequence tag", {"misc"}, Level::Working, false, RouteStateClass::Candidate, 0.8f},
      {"inconclusive", {"consequence-inconclusive"}, Level::Domain, false, RouteStateClass::EvidenceDebt, 0.9f},
      {"support wins over inconclusive",
       {"consequence-inconclusive", "consequence-support"}, Level::Working, false, RouteStateClass::Confirmed, 0.98f},
      {"refute wins over support",
       {"consequence-support", "consequence-refute"}, Level::Working, false, RouteStateClass::Refuted, 1.0f},
      {"tags compare case-sensitively", {"Consequence-Refute"}, Level::Working, false, RouteStateClass::Candidate,
       0.8f},
      {"pinned keeps its strength", {}, Level::Working, true, RouteStateClass::Candidate, 1.0f},
      {"identity keeps its strength", {"consequence-inconclusive"}, Level::Identity, false,
       RouteStateClass::EvidenceDebt, 1.0f},
  };
  for (const Case& c : cases) {
    Record r;
    r.tags = c.tags;
    r.level = c.level;
    r.pinned = c.pinned;
    r.strength = 0.5f;
    EXPECT_EQ(route_state_of(r), c.state) << c.name;
    EXPECT_EQ(route_state_decay_factor(r), 0.5f * c.factor) << c.name;
    EXPECT_EQ(r.strength, 0.5f * c.factor) << c.name;
  }
  Record weak;
  weak.strength = 0.06f;
  EXPECT_FLOAT_EQ(route_state_decay_factor(weak), 0.048f);
}

TEST(RecordChangeDetection, EqualityIsFieldByFieldWithMapsAsSetsAndNaNNeverEqual) {
  Record a;
  a.id = "aaaaaaaaaaaa";
  a.connections = {{"x", 0.5f}, {"y", 0.25f}};
  a.metadata = {{"k", "v"}, {"l", "w"}};
  Record b = a;
  b.connections = {{"y", 0.25f}, {"x", 0.5f}};
  EXPECT_TRUE(record_equals(a, b)) << "map order does not count";

  struct Case {
    const char* name;
    void (*change)(Record&);
  };
  const Case nan_cases[] = {
      {"strength", [](Record& r) { r.strength = kNaN; }},
      {"volatility", [](Record& r) { r.volatility = kNaN; }},
      {"link weight", [](Record& r) { r.connections["x"] = kNaN; }},
      {"optional time", [](Record& r) { r.valid_until = std::numeric_limits<double>::quiet_NaN(); }},
  };
  for (const Case& c : nan_cases) {
    Record n = a;
    c.change(n);
    EXPECT_FALSE(record_equals(n, Record(n))) << c.name << ": two NaN copies count as changed";
  }
  Record unset = a;
  Record set = a;
  set.valid_from = 0.0;
  EXPECT_FALSE(record_equals(unset, set)) << "presence of an optional counts";
}

TEST(RecordChangeDetection, ARemovalAndANewIdAreOneRemovedIdAndOneChangedRecord) {
  RecordMap before;
  for (const char* id : {"a", "b", "c"}) before[id].id = id;
  RecordMap now = before;
  now.erase("b");
  now["d"].id = "d";
  now.find_value("c")->strength = 0.5f;

  std::vector<std::string> changed;
  for (const Record* r : changed_records(now, before)) changed.push_back(r->id);
  EXPECT_EQ(changed, (std::vector<std::string>{"c", "d"}));
  EXPECT_EQ(removed_record_ids(before, now), std::vector<std::string>{"b"});
}

}  // namespace
}  // namespace vesk
