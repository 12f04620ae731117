#include <gtest/gtest.h>

#include "store/vesk_test_access.h"

#include <string>
#include <vector>

#include "storage/fault_env.h"
#include "storage/test_dir.h"
#include "store/vesk.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::TempDir;

std::unique_ptr<Vesk> open_store(const fs::path& dir, Env& env = Env::Default()) {
  auto v = Vesk::open(dir, std::nullopt, env);
  EXPECT_TRUE(v.ok()) << v.status().message();
  return v.ok() ? std::move(v).value() : nullptr;
}

StoreRequest text(std::string content) {
  StoreRequest r;
  r.content = std::move(content);
  return r;
}

std::vector<std::string> ids_in_map_order(Vesk& v) {
  std::vector<std::string> ids;
  for (const auto& entry : *v.record_state().records.read()) ids.push_back(entry.first);
  return ids;
}

// The twin a scan of the record map in order finds, as the rule defines it.
std::optional<std::string> scan_for_twin(Vesk& v, const std::string& content) {
  const std::optional<std::string> none;
  const StringMap no_metadata;
  DuplicateProbe probe{"default", content, "recorded", "fact", std::nullopt, std::nullopt, &none, &no_metadata};
  for (const auto& [id, r] : *v.record_state().records.read()) {
    if (is_exact_duplicate(r, probe)) return id;
  }
  return std::nullopt;
}

TEST(StoreRoad, DuplicateIsTheFirstTwinInMapOrder) {
  TempDir dir;
  auto v = open_store(dir.path());
  const std::string content = "the deploy window is friday at noon";
  std::vector<std::string> copies;
  for (int i = 0; i < 4; ++i) {
    StoreRequest r = text(content);
    r.deduplicate = false;
    r.auto_promote = false;
    copies.push_back(*v->store(std::move(r)));
  }
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(v->store(text("filler record number " + std::to_string(i))).ok());

  // Take the first two copies out of reach: one restricted, one erased and
  // stored again (it comes back at the end of the map's order).
  {
    auto map = VeskTestAccess::records(*v).records.write();
    map->find(copies[0])->second.metadata["acl_visibility"] = "restricted";
    Record moved = map->find(copies[1])->second;
    map->erase(copies[1]);
    map->insert_or_assign(moved.id, moved);
  }
  std::optional<std::string> expected = scan_for_twin(*v, content);
  ASSERT_EQ(expected, copies[2]);
  auto touched = v->store_with_channel(text(content));
  ASSERT_TRUE(touched.ok());
  EXPECT_EQ(touched->id, *expected);
  EXPECT_EQ(touched->activation_count, 1u);
  EXPECT_EQ(v->count(), 44u);
}

TEST(StoreRoad, ReopenKeepsTheMapOrder) {
  TempDir dir;
  std::vector<std::string> order;
  {
    auto v = open_store(dir.path());
    for (int i = 0; i < 30; ++i) ASSERT_TRUE(v->store(text("record number " + std::to_string(i) + " of thirty")).ok());
    // A touch rewrites a record in place; it keeps its place.
    ASSERT_TRUE(v->store(text("record number 3 of thirty")).ok());
    order = ids_in_map_order(*v);
    ASSERT_TRUE(v->close().ok());
  }
  auto v = open_store(dir.path());
  EXPECT_EQ(ids_in_map_order(*v), order);
  EXPECT_EQ(v->get(order[3])->activation_count, 1u);
}

TEST(StoreRoad, FailedJournalAppendLeavesNoIndexEntry) {
  TempDir dir;
  FaultEnv env;
  std::string kept;
  {
    auto v = open_store(dir.path(), env);
    StoreRequest first = text("kept: the first record of the store");
    first.tags = std::vector<std::string>{"keep"};
    kept = *v->store(std::move(first));

    // One part at a time: a handle lives to the end of its statement.
    auto sizes = [&] {
      std::vector<size_t> n;
      n.push_back(v->indexes().ngram.read()->size());
      n.push_back(v->indexes().terms.read()->size());
      n.push_back(v->indexes().tags.read()->size());
      n.push_back(v->record_state().id_map.read()->size());
      n.push_back(v->indexes().sdr_index->size());
      n.push_back(v->storage().id_count());
      n.push_back(v->record_state().duplicates.read()->size());
      n.push_back(v->count());
      return n;
    };
    const std::vector<size_t> before = sizes();
    env.tear_writes_after("brain.cog", 0);
    StoreRequest lost = text("lost: the journal refuses this record");
    lost.tags = std::vector<std::string>{"lost"};
    EXPECT_FALSE(v->store(std::move(lost)).ok());
    EXPECT_EQ(sizes(), before);
    EXPECT_TRUE(v->indexes().tags.read()->ids_with("lost").empty());
    for (const auto& [id, score] : v->indexes().ngram.read()->query("lost: the journal refuses this record", 5)) {
      EXPECT_EQ(id, kept);
    }
    env.clear();
    ASSERT_TRUE(v->close().ok());
  }
  auto v = open_store(dir.path());
  EXPECT_EQ(v->count(), 1u);
  EXPECT_TRUE(v->get(kept).has_value());
}

TEST(StoreRoad, CollidingIdIsDrawnAgain) {
  TempDir dir;
  auto v = open_store(dir.path());
  const std::string taken = *v->store(text("the record that owns the id"));
  const Record original = *v->get(taken);
  std::vector<std::string> draws = {taken, taken, "0123456789ab"};
  v->set_record_id_source([&]() -> Result<std::string> {
    std::string id = draws.front();
    draws.erase(draws.begin());
    return id;
  });
  auto stored = v->store_with_channel(text("a newcomer drawing a taken id"));
  ASSERT_TRUE(stored.ok());
  EXPECT_EQ(stored->id, "0123456789ab");
  EXPECT_EQ(stored->vesk_id, "0123456789ab");
  EXPECT_EQ(*v->get(taken), original);
  EXPECT_EQ(v->count(), 2u);
  EXPECT_EQ(v->indexes().ngram.read()->size(), 2u);
  EXPECT_EQ(v->indexes().sdr_index->size(), 2u);
}

TEST(StoreRoad, LogEntryCarriesTierAndPinFactor) {
  TempDir dir;
  auto v = open_store(dir.path());
  struct Case {
    Level level;
    bool pin;
    std::string tier;
    float pin_factor;
  };
  for (const Case& c : std::vector<Case>{{Level::Working, false, "general", 1.0f},
                                         {Level::Domain, true, "user_core", 100.0f}}) {
    StoreRequest r = text("log entry of level " + std::to_string(level_value(c.level)));
    r.level = c.level;
    r.pin = c.pin;
    r.auto_promote = false;
    auto stored = v->store_with_channel(std::move(r));
    ASSERT_TRUE(stored.ok());
    auto entry = VeskTestAccess::storage(*v).read_entry(stored->id);
    ASSERT_TRUE(entry.ok() && entry->has_value());
    EXPECT_EQ((*entry)->tier, c.tier);
    EXPECT_EQ((*entry)->pin_factor, c.pin_factor);
    EXPECT_EQ((*entry)->content, stored->content);
    // The per-record SDR is in the general range whatever the level.
    EXPECT_EQ(*v->indexes().record_sdrs.read()->at(stored->id),
              encode_sdr(v->indexes().sdr_encoder, stored->content, SdrRange::General, SdrCase::Fold));
  }
}

}  // namespace
}  // namespace vesk
