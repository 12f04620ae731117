// The typed edges between entities and the entity graph, over a hand-built
// record map: weights no writer would store (NaN), ties, and the anchor.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "entities/entity_digest.h"
#include "entities/entity_records.h"
#include "entities/entity_relations.h"
#include "entities/relation_edges.h"
#include "model/metadata_value_index.h"
#include "model/record_map.h"

namespace vesk {
namespace {

const std::vector<std::string_view> kKeys = {kEntityIdKey};

struct Fixture {
  RecordMap map;
  MetadataValueIndex index{kKeys};

  Record& add(std::string id, std::string entity, std::string ns = "default") {
    Record r;
    r.id = std::move(id);
    r.namespace_ = std::move(ns);
    if (!entity.empty()) r.metadata["entity_id"] = std::move(entity);
    return map.try_emplace(r.id, r).first->second;
  }
  // One-sided typed connection, with or without a weight.
  void link(const std::string& from, const std::string& to, std::string type, std::optional<float> w) {
    Record& r = map.find(from)->second;
    r.connection_types[to] = std::move(type);
    if (w) r.connections[to] = *w;
  }
  void reindex() { index.rebuild(map); }
};

TEST(EntityRelations, NaNIsReplacedAndAMissingWeightReadsZero) {
  Fixture f;
  f.add("a1", "A").level = Level::Identity;
  f.add("a2", "A");
  f.add("b1", "B").level = Level::Identity;
  f.add("b2", "B");
  f.add("c1", "C");
  f.link("a1", "b1", "knows", std::nanf(""));
  f.link("a2", "b2", "knows", 0.4f);  // scanned later: replaces the NaN
  f.link("a1", "c1", "sees", std::nullopt);
  f.reindex();
  auto edges = entity_relations(f.map, f.index, "A", std::nullopt);
  ASSERT_EQ(edges.size(), 2u);
  EXPECT_EQ(edges[0].target_record_id, "b2");
  EXPECT_EQ(edges[0].weight, 0.4f);
  EXPECT_EQ(edges[1].target_entity_id, "C");
  EXPECT_EQ(edges[1].weight, 0.0);

  // The graph row folds NaN away: the strongest weight of a NaN-only
  // neighbour is 0.0, and it sorts after every weighted one.
  Fixture g;
  g.add("a", "A");
  g.add("b", "B");
  g.add("c", "C");
  g.link("a", "b", "knows", std::nanf(""));
  g.link("a", "c", "knows", 0.1f);
  g.reindex();
  auto graph = entity_graph_digest(g.map, g.index, "A", std::nullopt);
  ASSERT_TRUE(graph);
  ASSERT_EQ(graph->neighbors.size(), 2u);
  EXPECT_EQ(graph->neighbors[0].entity_id, "C");
  EXPECT_EQ(graph->neighbors[1].strongest_weight, 0.0);
  EXPECT_TRUE(entity_graph_neighbors(g.map, g.index, "A", std::nullopt, std::nanf(""), std::nullopt,
                                     std::nullopt).empty());
}

TEST(EntityRecords, GroupLivesInTheFirstNamespaceAndTheAnchorFollowsTheOrder) {
  Fixture f;
  f.add("w1", "E", "work");
  f.add("d1", "E").created_at = 5.0;
  f.add("w2", "E", "work").level = Level::Identity;
  f.add("d2", "E").created_at = 3.0;
  f.add("d0", "E").created_at = 3.0;
  f.reindex();
  auto group = find_entity_records(f.map, f.index, "E");
  ASSERT_TRUE(group);
  EXPECT_EQ(group->namespace_, "work");
  EXPECT_EQ(entity_anchor(f.map, f.index, "E")->id, "w2");
  EXPECT_FALSE(find_entity_records(f.map, f.index, "none"));

  // Within one level: the older first, then the smaller id.
  Fixture g;
  g.add("d1", "E").created_at = 5.0;
  g.add("d2", "E").created_at = 3.0;
  g.add("d0", "E").created_at = 3.0;
  g.reindex();
  EXPECT_EQ(entity_anchor(g.map, g.index, "E")->id, "d0");
}

TEST(RelationEdges, MutualRuleOnlyInTheWholeScanAndTheLimitAfterTheAppend) {
  Fixture f;
  f.add("b", "");
  f.add("a", "");
  f.add("c", "");
  f.link("b", "a", "peer", 0.5f);
  f.link("a", "b", "peer", 0.5f);
  f.link("c", "a", "one_way", 0.2f);
  auto all = collect_relation_edges(f.map, std::nullopt, std::nullopt, false);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].source_record_id, "a");  // mutual: smaller id first
  EXPECT_EQ(all[1].source_record_id, "c");  // one-way: as stored
  auto own = collect_relation_edges(f.map, std::string_view("b"), std::nullopt, false);
  ASSERT_EQ(own.size(), 1u);
  EXPECT_EQ(own[0].source_record_id, "b");
  EXPECT_EQ(collect_relation_edges(f.map, std::nullopt, 0, false).size(), 1u);
  EXPECT_TRUE(collect_relation_edges(f.map, std::nullopt, std::nullopt, true).empty());
}

}  // namespace
}  // namespace vesk
