#include "store/cold_records.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

namespace vesk {
namespace {

TEST(ColdRecords, PruneDropsOnlyUnprotectedWeakRecords) {
  RecordMap records;
  auto add = [&](const char* id, float strength, bool pinned = false, const char* tag = nullptr) {
    Record r;
    r.id = id;
    r.strength = strength;
    r.pinned = pinned;
    if (tag) r.tags.push_back(tag);
    records.emplace(id, r);
  };
  add("strong", 1.0f);
  add("at_floor", 0.05f);
  add("weak", 0.04f);
  add("zero", 0.0f);
  add("negative", -1.0f);
  add("nan", std::nanf(""));
  add("pinned_weak", 0.01f, true);
  add("tagged_weak", 0.01f, false, "person");
  add("pinned_nan", std::nanf(""), true);
  add("infinite", std::numeric_limits<float>::infinity());

  EXPECT_EQ(prune_weak_records_on_load(records, StringSet{"person"}), 4u);
  std::set<std::string> kept;
  for (const auto& [id, r] : records) kept.insert(id);
  EXPECT_EQ(kept,
            (std::set<std::string>{"strong", "at_floor", "pinned_weak", "tagged_weak", "pinned_nan", "infinite"}));
  EXPECT_EQ(prune_weak_records_on_load(records, StringSet{"person"}), 0u);
}

TEST(ColdRecords, EventIsNotARecovery) {
  StartupValidationEvent e = cold_records_event("/s/brain.cog", "kept 2 demoted records in the durable journal");
  EXPECT_EQ(e, (StartupValidationEvent{"cold_records", "/s/brain.cog", "excluded_from_active_indexes",
                                       "kept 2 demoted records in the durable journal", false}));
}

}  // namespace
}  // namespace vesk
