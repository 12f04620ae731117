#include "write/store_links.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace vesk {
namespace {

// A map and a tag index that hold the same records.
struct Fixture {
  RecordMap map;
  TagIndex tags;

  Record& add(std::string id, std::vector<std::string> record_tags, std::string ns = "default") {
    Record r;
    r.id = id;
    r.tags = std::move(record_tags);
    r.namespace_ = std::move(ns);
    tags.add(id, r.tags);
    return map.insert_or_assign(id, std::move(r)).first->second;
  }
  // A new record, not in the map, linked as the store road links it; the
  // back links applied.
  Record link(std::vector<std::string> record_tags, std::optional<std::string> parent = std::nullopt) {
    Record r;
    r.id = "new000000000";
    r.tags = std::move(record_tags);
    r.caused_by_id = std::move(parent);
    BackLinks back(r.id);
    link_causal_parent(r, map, back);
    link_associative_records(r, tags, map, back);
    apply_back_links(map, back.patches());
    return r;
  }
};

// The weight of one shared tag, 0.2 + 0.15 in 32-bit floats.
constexpr float kOneTag = 0.3500000238418579f;

std::string id_of(int i) {
  char id[13];
  std::snprintf(id, sizeof id, "%012d", i);
  return id;
}

TEST(StoreLinks, WeightGrowsWithEachSharedTagOccurrence) {
  const struct {
    std::vector<std::string> held, added;
    double weight;  // the 32-bit weight, exactly; 0: no link
  } cases[] = {
      {{"x"}, {"x"}, 0.3500000238418579},
      {{"x", "y"}, {"x", "y"}, 0.5},
      {{"x", "y", "z"}, {"x", "y", "z"}, 0.6500000357627869},
      {{"a", "b", "c", "d", "e"}, {"a", "b", "c", "d", "e"}, 0.800000011920929},
      {{"a"}, {"a", "a"}, 0.5},  // a tag listed twice counts twice
      {{"Work"}, {"work"}, 0.0},
      {{"x"}, {}, 0.0},
  };
  for (const auto& c : cases) {
    Fixture f;
    f.add("old000000000", c.held);
    const Record r = f.link(c.added);
    const Record& old = f.map.at("old000000000");
    if (c.weight == 0.0) {
      EXPECT_TRUE(r.connections.empty());
      EXPECT_TRUE(old.connections.empty());
      continue;
    }
    EXPECT_EQ(static_cast<double>(r.connections.at(old.id)), c.weight);
    EXPECT_EQ(static_cast<double>(old.connections.at(r.id)), c.weight);
    EXPECT_EQ(r.connection_types.at(old.id), "associative");
    EXPECT_EQ(old.connection_types.at(r.id), "associative");
  }
}

TEST(StoreLinks, FiftyConnectionsAtMostAndNoneAcrossNamespaces) {
  Fixture f;
  for (int i = 0; i < 60; ++i) f.add(id_of(i), {"x"});
  for (int i = 60; i < 70; ++i) f.add(id_of(i), {"x"}, "work");
  const Record r = f.link({"x"});
  EXPECT_EQ(r.connections.size(), 50u);
  size_t back = 0;
  for (const auto& [id, held] : f.map) {
    back += held.connections.count(r.id);
    if (held.namespace_ == "work") EXPECT_FALSE(r.connections.contains(id));
  }
  EXPECT_EQ(back, 50u);
}

TEST(StoreLinks, AFullRecordGetsNoBackLinkAndAMissingOneIsLinkedOneWay) {
  Fixture f;
  Record& full = f.add("full00000000", {"x"});
  for (int i = 0; i < 50; ++i) full.connections[id_of(i)] = 0.1f;
  f.tags.add("gone00000000", {"x"});  // in the tag index, not in the map
  const Record r = f.link({"x"});
  EXPECT_EQ(r.connections.at("full00000000"), kOneTag);
  EXPECT_FALSE(f.map.at("full00000000").connections.contains(r.id));
  EXPECT_EQ(r.connections.at("gone00000000"), kOneTag);
}

TEST(StoreLinks, TheCausalParentBecomesAssociativeWhenItSharesATag) {
  Fixture f;
  f.add("parent000000", {"x", "y"});
  f.add("other0000000", {"z"});
  Record r = f.link({"x", "y"}, "parent000000");
  EXPECT_EQ(r.connections.at("parent000000"), 0.5f);
  EXPECT_EQ(r.connection_types.at("parent000000"), "associative");
  EXPECT_EQ(f.map.at("parent000000").connection_types.at(r.id), "associative");

  r = f.link({}, "other0000000");
  EXPECT_EQ(r.connections.at("other0000000"), 0.7f);
  EXPECT_EQ(f.map.at("other0000000").connection_types.at(r.id), "causal");

  // A parent that is gone is still named by the new record.
  r = f.link({}, "missing00000");
  EXPECT_EQ(r.connections.at("missing00000"), 0.7f);
}

// A parent with 49 connections is full once the causal link is on it: the
// associative visit leaves its side causal.
TEST(StoreLinks, TheCausalBackLinkCountsTowardsTheParentsLimit) {
  Fixture f;
  Record& parent = f.add("parent000000", {"x"});
  for (int i = 0; i < 49; ++i) parent.connections[id_of(i)] = 0.1f;
  const Record r = f.link({"x"}, "parent000000");
  EXPECT_EQ(r.connection_types.at("parent000000"), "associative");
  EXPECT_EQ(f.map.at("parent000000").connection_types.at(r.id), "causal");
  EXPECT_EQ(f.map.at("parent000000").connections.size(), 50u);
}

}  // namespace
}  // namespace vesk
