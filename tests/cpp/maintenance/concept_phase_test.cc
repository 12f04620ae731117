// The concept phase as a whole: fewer than two seeds empty the layer; a
// cluster becomes one candidate that replaces whatever the layer held.
#include <gtest/gtest.h>

#include <string>

#include "base/fixed_env.h"
#include "maintenance/layer_phases.h"

namespace vesk {
namespace {

using testing::FixedEnv;

struct Phase {
  FixedEnv env;
  BeliefEngine beliefs;
  ConceptEngine concepts;
  CycleSnapshot records;
  CycleSdrMap sdrs;

  void seed(const std::string& id, const std::string& key, const std::string& content) {
    Belief& b = beliefs.beliefs[id];
    b.id = id;
    b.key = key;
    b.state = BeliefState::Singleton;
    b.stability = 2.0f;
    b.confidence = 0.9f;
    b.support_mass = 1.0f;
    b.hypothesis_ids = {id + "-h"};
    Hypothesis& h = beliefs.hypotheses[id + "-h"];
    h.id = id + "-h";
    h.belief_id = id;
    h.prototype_record_ids = {id + "-r"};
    Record& r = records[id + "-r"];
    r.id = id + "-r";
    r.content = content;
  }
  ConceptPhaseReport run() { return discover_concepts(concepts, beliefs, records, sdrs, env); }
};

TEST(ConceptPhase, OneSeedEmptiesTheLayerAndReportsOnlyTheSeed) {
  Phase p;
  p.concepts.concepts["old"].id = "old";
  p.concepts.key_index["k"] = "old";
  p.seed("a", "work:kiln:fact", "the kiln fires at cone six");
  EXPECT_EQ(p.run(), (ConceptPhaseReport{.seeds_found = 1}));
  EXPECT_TRUE(p.concepts.concepts.empty());
  EXPECT_TRUE(p.concepts.key_index.empty());
}

TEST(ConceptPhase, ASimilarPairReplacesTheLayerWithOneCandidate) {
  Phase p;
  p.concepts.concepts["old"].id = "old";
  p.seed("a", "work:kiln:fact", "the kiln fires at cone six");
  p.seed("b", "work:kiln:fact", "the kiln fires at cone five");
  p.seed("c", "home:tax:fact", "invoices are printed monday");  // another partition, alone
  const ConceptPhaseReport r = p.run();
  EXPECT_EQ(r.seeds_found, 3u);
  EXPECT_EQ(r.multi_seed_partition_sizes, (std::vector<uint64_t>{2}));
  EXPECT_EQ(r.cluster_sizes, (std::vector<uint64_t>{2}));
  EXPECT_EQ(r.candidates_found, 1u);
  ASSERT_EQ(p.concepts.concepts.size(), 1u);
  const ConceptCandidate& c = p.concepts.concepts.begin()->second;
  EXPECT_EQ(c.record_ids, (std::vector<std::string>{"a-r", "b-r"}));
  EXPECT_EQ(c.core_terms, (std::vector<std::string>{"cone", "fires", "kiln"}));
  EXPECT_EQ(c.tags, (std::vector<std::string>{"kiln"}));
  EXPECT_EQ(c.last_updated, p.env.now_seconds());
  EXPECT_EQ(p.concepts.key_index.at(c.key), c.id);
  // The recall reranking's index follows the new layer.
  ASSERT_NE(concept_record_index(p.concepts), nullptr);
}

}  // namespace
}  // namespace vesk
