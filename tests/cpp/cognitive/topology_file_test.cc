// The co-recall graph's file, its decay step and its purge removal.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "cognitive/layer_file_save.h"
#include "cognitive/surface_loaders.h"
#include "cognitive/surface_savers.h"
#include "cognitive/topology_decay.h"
#include "cognitive/topology_format.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::slurp;
using testing::spit;
using testing::TempDir;

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

TEST(TopologyFile, SavedGraphLoadsBackEqual) {
  // Node numbers are full 64-bit hashes, most above 2^53.
  const uint64_t a = record_key("aaaaaaaaaaa1"), b = record_key("aaaaaaaaaaa2");
  Topology graph;
  graph.edges[a] = {Edge{b, 0.5f}, Edge{kMax, 0.02f}, Edge{1, 1.0f}};
  graph.edges[kMax] = {Edge{a, 0.0103f}};
  StoreKey key = std::make_shared<const SecretKey>(SecretKey::random());
  for (StoreKey k : {StoreKey(), key}) {
    TempDir tmp;
    const PersistenceTarget target{tmp / "store", k};
    ASSERT_TRUE(save_topology(target, graph, Env::Default()).ok());
    EXPECT_EQ(slurp(target.dir / kTopologyFile).substr(0, 4) == "AEF1", k != nullptr);
    Result<Topology> loaded = load_topology(target, Env::Default());
    ASSERT_TRUE(loaded.ok()) << loaded.status().message();
    EXPECT_EQ(*loaded, graph);
  }
  EXPECT_EQ(layer_json(Topology{}), R"({"edges":{}})");
  Topology one;
  one.edges[kMax] = {Edge{3, 0.25f}, Edge{kMax - 1, 0.125f}};
  EXPECT_EQ(layer_json(one),
            R"({"edges":{"18446744073709551615":[{"target":3,"weight":0.25},)"
            R"({"target":18446744073709551614,"weight":0.125}]}})");
}

TEST(TopologyFile, ReadingRules) {
  struct Case {
    std::string text;
    const char* error;  // the start of the message; "" when the text loads
  };
  const Case cases[] = {
      {R"({"edges":{"1":[{"target":2,"weight":0.5}]}})", ""},
      {R"({"edges":{"18446744073709551615":[]},"version":3})", ""},
      {R"({"edges":{"1":[{"weight":0.5,"target":2,"seen":[1,null]}]}})", ""},
      {R"([{"1":[[2,0.5]]}])", ""},
      {R"({"edges":{"ab":[]}})", "invalid value: string \"ab\", expected a decimal u64 node number"},
      {R"({"edges":{"-1":[]}})", "invalid value: string \"-1\""},
      {R"({"edges":{"+1":[]}})", "invalid value: string \"+1\""},
      {R"({"edges":{"":[]}})", "invalid value: string \"\""},
      {R"({"edges":{"18446744073709551616":[]}})", "invalid value: string \"18446744073709551616\""},
      {R"({"edges":{"1 ":[]}})", "invalid value: string \"1 \""},
      {"7", "invalid type: integer `7`, expected struct Topology"},
      {R"({})", "missing field `edges`"},
      {R"({"edges":{},"edges":{}})", "duplicate field `edges`"},
      {R"({"edges":{"1":[{"target":2,"target":3,"weight":0.5}]}})", "duplicate field `target`"},
      {R"({"edges":{"1":[{"target":2}]}})", "missing field `weight`"},
      {R"({"edges":{"1":[{"target":2,"weight":null}]}})", "invalid type: null, expected f32"},
      {R"({"edges":{"1":[{"target":-2,"weight":0.5}]}})", "invalid value: integer `-2`, expected u64"},
      {R"({"edges":{"1":[{"target":2.5,"weight":0.5}]}})", "invalid type: floating point `2.5`, expected u64"},
  };
  for (const Case& c : cases) {
    Result<Topology> t = parse_topology(c.text);
    if (*c.error == '\0') {
      EXPECT_TRUE(t.ok()) << c.text << "\n" << t.status().message();
    } else {
      EXPECT_EQ(t.status().message().substr(0, std::string_view(c.error).size()), c.error) << c.text;
    }
  }
  // A node given twice keeps its later list; a target need not be a node.
  Result<Topology> t = parse_topology(R"({"edges":{"1":[{"target":2,"weight":0.5}],"1":[{"target":9,"weight":1}]}})");
  ASSERT_TRUE(t.ok());
  EXPECT_EQ(t->edges, (decltype(t->edges){{1, {Edge{9, 1.0f}}}}));

  // At open any failure is an empty graph.
  TempDir dir;
  spit(dir / kTopologyFile, R"({"edges":{"ab":[]}})");
  Result<Topology> bad = load_topology(PersistenceTarget{dir.path(), nullptr}, Env::Default());
  EXPECT_EQ(bad.status().message(), "topology::load: deserialize");
  ASSERT_NE(bad.status().cause(), nullptr);
  EXPECT_EQ(bad.status().cause()->message().substr(0, 22), "invalid value: string ");
  EXPECT_EQ(topology_or_default(std::move(bad)), Topology{});
}

TEST(TopologyDecay, OneCycleScalesSavesAndPrunes) {
  TempDir dir;
  const PersistenceTarget target{dir.path(), nullptr};
  const float nan = std::numeric_limits<float>::quiet_NaN();
  PlasticityState plasticity;
  plasticity.topology.edges[1] = {Edge{2, 0.04f}, Edge{3, 0.0105f}, Edge{4, nan}, Edge{5, 0.02f}};
  plasticity.topology.edges[6] = {Edge{1, 0.0104f}};  // falls below 0.01: the node goes too
  plasticity.topology.edges[7] = {};                   // had none: goes
  const Topology saved = decay_topology(plasticity, target, Env::Default());
  // The order of the rest is kept; the file holds the shortest forms, and the
  // copy handed back is what was saved.
  EXPECT_EQ(plasticity.topology.edges, (decltype(plasticity.topology.edges){{1, {Edge{2, 0.038f}, Edge{5, 0.019f}}}}));
  EXPECT_EQ(saved, plasticity.topology);
  EXPECT_EQ(slurp(dir / kTopologyFile),
            R"({"edges":{"1":[{"target":2,"weight":0.038},{"target":5,"weight":0.019}]}})");
}

TEST(TopologyDecay, AnEdgeBumpedOnceLivesThirteenCycles) {
  TempDir dir;
  const PersistenceTarget target{dir.path(), nullptr};
  PlasticityState plasticity;
  bump_corecall_weight(plasticity.topology, 10, 20);
  bump_corecall_weight(plasticity.topology, 20, 10);
  for (int cycle = 1; cycle <= 13; ++cycle) decay_topology(plasticity, target, Env::Default());
  ASSERT_EQ(plasticity.topology.edges.size(), 2u);
  EXPECT_NEAR(plasticity.topology.edges.at(10)[0].weight, 0.010267f, 1e-6f);
  decay_topology(plasticity, target, Env::Default());
  EXPECT_TRUE(plasticity.topology.edges.empty());
  EXPECT_EQ(slurp(dir / kTopologyFile), R"({"edges":{}})");

  // An edge at the cap goes in the 90th cycle.
  Topology capped;
  capped.edges[1] = {Edge{2, 1.0f}};
  for (int cycle = 1; cycle < 90; ++cycle) decay_corecall_weights(capped);
  EXPECT_EQ(capped.edges.size(), 1u);
  decay_corecall_weights(capped);
  EXPECT_TRUE(capped.edges.empty());
}

TEST(TopologyDecay, AFailedSaveIsDroppedAndTheGraphStillDecays) {
  TempDir dir;
  spit(dir / kTopologyFile, "old");
  FaultEnv env;
  env.fail_rename(kTopologyFile);
  PlasticityState plasticity;
  plasticity.topology.edges[1] = {Edge{2, 0.5f}};
  const Topology copy = decay_topology(plasticity, PersistenceTarget{dir.path(), nullptr}, env);
  EXPECT_EQ(plasticity.topology.edges.at(1)[0].weight, 0.475f);
  EXPECT_EQ(copy, plasticity.topology);
  EXPECT_EQ(slurp(dir / kTopologyFile), "old");
}

TEST(TopologyFile, SaveFailuresCarryTheOuterMessageAndKeepTheCause) {
  TempDir tmp;
  spit(tmp / "file", "x");
  // A file stands where the store directory must go.
  Status st = save_topology(PersistenceTarget{tmp / "file" / "store", nullptr}, Topology{}, Env::Default());
  EXPECT_EQ(st.message(), "topology::save: create_dir_all " + (tmp / "file" / "store").string());
  ASSERT_NE(st.cause(), nullptr);
  EXPECT_FALSE(st.cause()->message().empty());

  FaultEnv env;
  env.fail_rename(kTopologyFile);
  st = save_topology(PersistenceTarget{tmp.path(), nullptr}, Topology{}, env);
  EXPECT_EQ(st.message(), "topology::save: write " + (tmp / kTopologyFile).string());
  ASSERT_NE(st.cause(), nullptr);
  EXPECT_EQ(st.cause()->message(), "injected rename failure");
}

TEST(TopologyPurge, RemovesTheRecordsNodesAndTheEdgesIntoThem) {
  const uint64_t a = record_key("aaaaaaaaaaa1"), b = record_key("aaaaaaaaaaa2"), c = record_key("aaaaaaaaaaa3");
  Topology graph;
  graph.edges[a] = {Edge{b, 0.1f}, Edge{c, 0.2f}};
  graph.edges[b] = {Edge{a, 0.1f}, Edge{c, 0.3f}, Edge{7, 0.4f}};
  graph.edges[c] = {Edge{b, 0.3f}};  // left without edges once b goes
  EXPECT_TRUE(remove_record_nodes(graph, StringSet{"aaaaaaaaaaa2"}));
  EXPECT_EQ(graph.edges, (decltype(graph.edges){{a, {Edge{c, 0.2f}}}}));
  EXPECT_FALSE(remove_record_nodes(graph, StringSet{"zzzzzzzzzzzz"}));
  EXPECT_EQ(graph.edges.size(), 1u);
}

}  // namespace
}  // namespace vesk
