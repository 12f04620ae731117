// Seeds, partitions, pair gating, clustering and candidate scoring of the
// concept phase on hand-built seeds.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <string>
#include <vector>

#include "cognitive/claim_clusters.h"
#include "cognitive/concept_candidates.h"
#include "cognitive/concept_clustering.h"
#include "cognitive/concept_seeds.h"

namespace vesk {
namespace {

// Seeds point at beliefs; a deque keeps those addresses stable, and the
// seed list is reserved so references to added seeds stay valid.
struct Seeds {
  Seeds() { seeds.reserve(100); }
  std::deque<Belief> beliefs;
  std::vector<ConceptSeed> seeds;

  ConceptSeed& add(std::string key, std::vector<std::string> record_tags, std::vector<std::string> features = {"x"},
                   float stability = 2.0f) {
    Belief& b = beliefs.emplace_back();
    b.id = "b" + std::to_string(beliefs.size());
    b.key = std::move(key);
    b.stability = stability;
    ConceptSeed& s = seeds.emplace_back();
    s.belief = &b;
    s.key_tag_field = belief_key_tag_field(b.key);
    s.semantic_type = split_belief_key(b.key).semantic_type;
    s.record_tags.insert(record_tags.begin(), record_tags.end());
    s.features.insert(features.begin(), features.end());
    return s;
  }
};

TEST(ConceptSeeds, BeliefKeyParts) {
  const struct {
    const char* key;
    const char* ns;
    const char* type;
    const char* tag_field;
  } cases[] = {
      {"work:db,ops:fact", "work", "fact", "db,ops"},
      {"work:fact#2", "work", "fact", ""},
      {"work:deploy:decision#10", "work", "decision", "deploy"},
      {"bare", "bare", "bare", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(split_belief_key(c.key).namespace_, c.ns) << c.key;
    EXPECT_EQ(split_belief_key(c.key).semantic_type, c.type) << c.key;
    EXPECT_EQ(belief_key_tag_field(c.key), c.tag_field) << c.key;
  }
}

TEST(ConceptSeeds, CentroidsAreAscendingUnionsOfSdrs) {
  SdrUnion u;
  u.add({1, 64, 65535});
  u.add({0, 64, 100});
  u.add({});
  EXPECT_EQ(u.take(), (Sdr{0, 1, 64, 100, 65535}));
  EXPECT_EQ(u.take(), Sdr{});
  u.add({7});
  EXPECT_EQ(u.take(), Sdr{7});
}

TEST(ConceptSeeds, CentroidTanimotoAgreesWithTheMergeForLongAndShortLists) {
  Sdr long_a, long_b, short_c = {3, 6, 9}, empty;
  for (uint16_t p = 0; p < 6000; p += 3) long_a.push_back(p);
  for (uint16_t p = 0; p < 9000; p += 4) long_b.push_back(p);
  const std::vector<const Sdr*> lists = {&long_a, &long_b, &short_c, &empty};
  const CentroidTanimoto tanimoto(lists);
  for (size_t i = 0; i < lists.size(); ++i)
    for (size_t j = 0; j < lists.size(); ++j)
      EXPECT_EQ(tanimoto(i, j), claim_tanimoto(*lists[i], *lists[j])) << i << "," << j;
}

TEST(ConceptSeeds, GatesOfTheThreeSeedModes) {
  const struct {
    BeliefState state;
    float stability, confidence;
    bool standard, warmup, relaxed;
  } cases[] = {
      {BeliefState::Resolved, 2.0f, 0.55f, true, true, true},
      {BeliefState::Singleton, 1.9f, 0.55f, false, true, true},
      {BeliefState::Singleton, 1.0f, 0.45f, false, false, true},
      {BeliefState::Singleton, NAN, 0.9f, false, false, false},
      {BeliefState::Unresolved, 5.0f, 0.9f, false, false, false},
      {BeliefState::Empty, 5.0f, 0.9f, false, false, false},
  };
  for (const auto& c : cases) {
    Belief b;
    b.state = c.state;
    b.stability = c.stability;
    b.confidence = c.confidence;
    EXPECT_EQ(is_concept_seed(b, ConceptSeedMode::Standard), c.standard);
    EXPECT_EQ(is_concept_seed(b, ConceptSeedMode::Warmup), c.warmup);
    EXPECT_EQ(is_concept_seed(b, ConceptSeedMode::Relaxed), c.relaxed);
  }
}

TEST(ConceptSeeds, APartitionOf81KeepsThe80MostStable) {
  Seeds s;
  std::vector<size_t> partition;
  for (int i = 0; i < 81; ++i) {
    s.add("work:t:fact", {}, {"x"}, i == 40 ? 0.5f : (i % 2 ? 3.0f : 4.0f));
    partition.push_back(static_cast<size_t>(i));
  }
  EXPECT_EQ(cap_concept_partition(partition, s.seeds), 1u);
  ASSERT_EQ(partition.size(), 80u);
  // The least stable seed is dropped; equal stabilities fall back to the id
  // order.
  EXPECT_EQ(std::find(partition.begin(), partition.end(), 40u), partition.end());
  for (size_t k = 1; k < 80; ++k) {
    const Belief& a = *s.seeds[partition[k - 1]].belief;
    const Belief& b = *s.seeds[partition[k]].belief;
    if (a.stability == b.stability) {
      EXPECT_LT(a.id, b.id);
    }
  }
}

TEST(ConceptClustering, PairGates) {
  using P = ConceptPartitionMode;
  using U = ConceptUnionMode;
  const struct {
    const char *key_a, *key_b;
    std::vector<std::string> tags_a, tags_b;
    P partition;
    U union_mode;
    bool passes;
  } cases[] = {
      // Disjoint non-empty record tags never pass; an empty side does.
      {"w:a:fact", "w:a:fact", {"x"}, {"y"}, P::Standard, U::Standard, false},
      {"w:a:fact", "w:a:fact", {}, {"y"}, P::Standard, U::Standard, true},
      // Key tags differ: Standard partitioning ignores them.
      {"w:deploy:decision", "w:release:fact", {"x", "y"}, {"x", "y"}, P::Standard, U::Standard, true},
      // NamespaceOnly: single key tags need the bridge and a decision/fact pair.
      {"w:deploy:decision", "w:release:fact", {"x", "y"}, {"x", "y"}, P::NamespaceOnly, U::Standard, false},
      {"w:deploy:decision", "w:release:fact", {"x", "y"}, {"x", "y"}, P::NamespaceOnly,
       U::SingleTagFactDecisionBridge, true},
      {"w:deploy:fact", "w:release:fact", {"x", "y"}, {"x", "y"}, P::NamespaceOnly, U::SingleTagFactDecisionBridge,
       false},
      {"w:deploy:decision", "w:release:fact", {"x"}, {"x"}, P::NamespaceOnly, U::SingleTagFactDecisionBridge, false},
      // Two key tags each with one in common, and shared record tags.
      {"w:a, B:fact", "w:b,c:fact", {"x"}, {"x"}, P::NamespaceOnly, U::Standard, true},
      {"w:a,b:fact", "w:c,d:fact", {"x"}, {"x"}, P::NamespaceOnly, U::Standard, false},
      // "alerts" needs two shared record tags.
      {"w:alerts:fact", "w:alerts:fact", {"x"}, {"x"}, P::NamespaceOnly, U::Standard, false},
      {"w:alerts:fact", "w:alerts:fact", {"x", "y"}, {"x", "y"}, P::NamespaceOnly, U::Standard, true},
      {"w:alerts:fact", "w:fact", {"x"}, {"x"}, P::NamespaceOnly, U::Standard, false},
  };
  for (const auto& c : cases) {
    Seeds s;
    const ConceptSeed& a = s.add(c.key_a, c.tags_a);
    const ConceptSeed& b = s.add(c.key_b, c.tags_b);
    EXPECT_EQ(concept_pair_passes_gates(a, b, c.partition, c.union_mode), c.passes) << c.key_a << " / " << c.key_b;
  }
}

TEST(ConceptClustering, JoinsAtTheThresholdAndCountsEveryMeasuredPair) {
  ConceptEngine modes;  // CanonicalFeature, threshold 0.12
  Seeds s;
  // 3 of 25 features shared: exactly 0.12.
  std::vector<std::string> fa, fb;
  for (int i = 0; i < 14; ++i) fa.push_back("a" + std::to_string(i));
  for (int i = 0; i < 14; ++i) fb.push_back(i < 3 ? fa[static_cast<size_t>(i)] : "b" + std::to_string(i));
  s.add("w:t:fact", {"x"}, fa);
  s.add("w:t:fact", {"x"}, fb);
  s.add("w:t:fact", {"y"}, fa);  // identical features, disjoint record tags
  s.add("w:t:fact", {"x"}, {});  // nothing to measure
  ConceptPairStats stats;
  const std::vector<size_t> partition = {0, 1, 2, 3};
  const auto clusters = cluster_concept_seeds(modes, partition, s.seeds, stats);
  EXPECT_EQ(clusters, (std::vector<std::vector<size_t>>{{0, 1}, {2}, {3}}));
  EXPECT_EQ(stats.similarities.size(), 3u);
  EXPECT_EQ(stats.above_threshold, 3u);
}

TEST(ConceptCandidates, KeyTagsScoreAndState) {
  std::vector<std::string_view> keys = {"w:deploy,release:fact", "w:deploy:fact", "w:release,infra:fact"};
  EXPECT_EQ(belief_key_tags(keys), (std::vector<std::string>{"deploy", "release"}));
  keys = {"w:fact#2", "w:fact#2"};
  EXPECT_EQ(belief_key_tags(keys), (std::vector<std::string>{"fact#2"}));

  const float score = concept_abstraction_score(0.5f, 1.0f, 0.8f, 0.0f);
  EXPECT_NEAR(score, 0.35f, 1e-6f);
  EXPECT_EQ(concept_state_for(score), ConceptState::Rejected);
  EXPECT_EQ(concept_state_for(0.5f), ConceptState::Candidate);
  EXPECT_EQ(concept_state_for(0.75f), ConceptState::Stable);
  EXPECT_EQ(concept_state_for(NAN), ConceptState::Rejected);
  EXPECT_EQ(concept_sdr_part({}).size(), 8u);
}

TEST(ConceptCandidates, TermsSharesAndTheRecordsBehindTheMembers) {
  RecordMap snapshot;
  Seeds s;
  ConceptSeed& a = s.add("w:db:fact", {});
  ConceptSeed& b = s.add("w:db:decision", {});
  for (int i = 0; i < 10; ++i) {
    Record r;
    r.id = "r" + std::to_string(i);
    r.content = std::string("kiln") + (i < 7 ? " glaze" : "") + (i < 2 ? " cone" : "") + (i < 1 ? " shelf" : "");
    snapshot[r.id] = r;
    (i % 2 ? a : b).record_ids.push_back(r.id);
  }
  a.record_ids.push_back("gone");
  s.beliefs[0].confidence = s.beliefs[1].confidence = 0.8f;
  const std::vector<const ConceptSeed*> members = {&a, &b};
  const std::optional<ConceptCandidate> c = build_concept_candidate(members, snapshot, 5.0);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->core_terms, (std::vector<std::string>{"glaze", "kiln"}));
  EXPECT_EQ(c->shell_terms, (std::vector<std::string>{"cone"}));
  EXPECT_EQ(c->record_ids.size(), 11u);
  EXPECT_EQ(c->namespace_, "w");
  EXPECT_EQ(c->semantic_type, "decision");  // "w:db:decision" < "w:db:fact"
  EXPECT_EQ(c->key.substr(0, c->key.size() - 8), "w:db:decision:glaze,kiln:");
  EXPECT_EQ(c->id.substr(0, 2), "c-");
  EXPECT_EQ(c->cohesion, 0.0f);

  RecordMap none;
  EXPECT_FALSE(build_concept_candidate(members, none, 5.0));
}

}  // namespace
}  // namespace vesk
