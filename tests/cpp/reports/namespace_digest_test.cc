#include "reports/namespace_digest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/word_normalization.h"

namespace vesk {
namespace {

using Texts = std::vector<std::string>;

Record make_record(std::string ns, Texts tags, std::string content_type = "text", std::string semantic_type = "fact") {
  Record r;
  r.namespace_ = std::move(ns);
  r.tags = std::move(tags);
  r.content_type = std::move(content_type);
  r.semantic_type = std::move(semantic_type);
  return r;
}

ConceptCandidate make_concept(std::string id, std::string ns, std::string key, float confidence,
                              ConceptState state = ConceptState::Candidate) {
  ConceptCandidate c;
  c.id = std::move(id);
  c.namespace_ = std::move(ns);
  c.key = std::move(key);
  c.semantic_type = "fact";
  c.confidence = confidence;
  c.state = state;
  return c;
}

Belief make_belief(std::string id, std::string key, BeliefState state, float volatility) {
  Belief b;
  b.id = std::move(id);
  b.key = std::move(key);
  b.state = state;
  b.volatility = volatility;
  return b;
}

CorrectionLogEntry correction(std::string target_id) {
  CorrectionLogEntry e;
  e.target_id = std::move(target_id);
  return e;
}

TEST(WordNormalization, PlainFormTrimsThePaddedOne) {
  const std::pair<const char*, const char*> cases[] = {
      {"Data-Base", "data base"}, {"  Data-Base / 42!  ", "data base 42"}, {"Straße", "stra e"}, {"--", ""},
      {"", ""},                   {"ÀB", "b"},
  };
  for (auto [in, out] : cases) EXPECT_EQ(normalize_words(in), out) << in;
  EXPECT_EQ(normalize_padded_words("--"), " ");
}

TEST(NamespaceDigest, StructuralTypesAreFamilyDotOrProjectMembership) {
  for (auto [type, structural] : {std::pair<const char*, bool>{"family.parent", true},
                                  {"belongs_to_project", true},
                                  {"family.", true},
                                  {"Family.parent", false},
                                  {"family", false},
                                  {"belongs_to_project ", false}}) {
    EXPECT_EQ(is_structural_relation_type(type), structural) << type;
  }
}

TEST(NamespaceDigest, Signatures) {
  ConceptCandidate c = make_concept("c1", "ops", "k", 0.5f);
  c.core_terms = {"Database", "Latency"};
  c.tags = {"ops", "database"};
  EXPECT_EQ(concept_signature(c), "fact:database+latency+ops");
  c.tags.push_back("zeta");
  c.tags.push_back("alpha");
  EXPECT_EQ(concept_signature(c), "fact:alpha+database+latency+ops");
  ConceptCandidate bare = make_concept("c2", "ops", "k2", 0.5f);
  bare.semantic_type = "Decision";
  bare.tags = {"--"};
  EXPECT_EQ(concept_signature(bare), "Decision:");

  RecordMap records;
  records["cause"] = make_record("ops", {"deploy"}, "text", "fact");
  records["effect"] = make_record("ops", {"outage"}, "text", "decision");
  CausalPattern p;
  p.cause_record_ids = {"cause", "missing"};
  p.effect_record_ids = {"effect"};
  EXPECT_EQ(causal_signature(p, records), "deploy+fact+text=>decision+outage+text");
  p.cause_record_ids = {"gone"};
  p.effect_record_ids = {"also-gone"};
  EXPECT_EQ(causal_signature(p, records), "=>");
}

struct Fixture {
  RecordMap records;
  BeliefEngine beliefs;
  ConceptEngine concepts;
  CausalEngine causal;
  std::vector<CorrectionLogEntry> log;

  std::vector<NamespaceDigestEntry> build(const Texts& names, const CrossNamespaceDigestParams& params = {}) {
    return build_namespace_digest_entries(names, params, params.corrections ? &log : nullptr, records, &beliefs,
                                          concepts, causal);
  }
};

TEST(NamespaceDigest, EntryListsAreLowerCasedDistinctAndInByteOrder) {
  Fixture f;
  Record a = make_record("ops", {"Ops", "ops", "OPS ", "Ünï"});
  a.connection_types = {{"x", "family.parent"}, {"y", "Family.parent"}, {"z", "belongs_to_project"}};
  f.records["a"] = a;
  f.records["b"] = make_record("ops", {"beta"});
  f.records["c"] = make_record("other", {"zzz"});
  f.concepts.concepts["c1"] = make_concept("c1", "ops", "b-key", 0.5f, ConceptState::Stable);
  f.concepts.concepts["c2"] = make_concept("c2", "ops", "a-key", 0.5f);
  f.concepts.concepts["c3"] = make_concept("c3", "ops", "z-key", 0.9f, ConceptState::Rejected);
  f.concepts.concepts["c4"] = make_concept("c4", "other", "q", 0.1f);

  CrossNamespaceDigestParams params;
  params.top_concepts_limit = 2;
  const auto entries = f.build({"ops"}, params);
  ASSERT_EQ(entries.size(), 1u);
  const NamespaceDigestEntry& e = entries[0];
  EXPECT_EQ(e.record_count, 2u);
  EXPECT_EQ(e.tags, (Texts{"beta", "ops", "ops ", "ünï"}));
  EXPECT_EQ(e.structural_relation_types, (Texts{"belongs_to_project", "family.parent"}));
  EXPECT_EQ(e.concept_count, 3u);
  EXPECT_EQ(e.stable_concept_count, 1u);
  EXPECT_EQ(e.concept_signatures, (Texts{"fact:"}));
  // Confidence descending, ties by key; cut at the limit.
  ASSERT_EQ(e.top_concepts.size(), 2u);
  EXPECT_EQ(e.top_concepts[0].concept_id, "c3");
  EXPECT_EQ(e.top_concepts[0].state, "rejected");
  EXPECT_EQ(e.top_concepts[1].key, "a-key");

  params.compact_summary = true;
  const NamespaceDigestEntry compact = f.build({"ops"}, params)[0];
  EXPECT_EQ(compact.record_count, 2u);
  EXPECT_EQ(compact.concept_count, 3u);
  EXPECT_TRUE(compact.tags.empty() && compact.structural_relation_types.empty() &&
              compact.concept_signatures.empty() && compact.top_concepts.empty() && compact.causal_signatures.empty());
  EXPECT_TRUE(compact.belief_state_summary.has_value());
  EXPECT_TRUE(compact.correction_count.has_value());
}

TEST(NamespaceDigest, BeliefSummaryCountsKeysOfTheNamespaceOnly) {
  Fixture f;
  f.records["r"] = make_record("ops", {});
  f.records["s"] = make_record("ops:eu", {});
  f.records["t"] = make_record("quiet", {});
  f.beliefs.beliefs["b1"] = make_belief("b1", "ops:disk", BeliefState::Resolved, 0.2f);
  f.beliefs.beliefs["b2"] = make_belief("b2", "ops:cpu", BeliefState::Unresolved, 0.1f);
  f.beliefs.beliefs["b3"] = make_belief("b3", "ops:eu:net", BeliefState::Singleton,
                                        std::numeric_limits<float>::quiet_NaN());
  f.beliefs.beliefs["b4"] = make_belief("b4", "opsx:cpu", BeliefState::Empty, 0.9f);
  f.beliefs.beliefs["b5"] = make_belief("b5", "ops", BeliefState::Empty, 0.9f);

  const auto entries = f.build({"ops", "ops:eu", "quiet"});
  const NamespaceBeliefSummary ops = *entries[0].belief_state_summary;
  EXPECT_EQ(ops.resolved, 1u);
  EXPECT_EQ(ops.unresolved, 1u);
  EXPECT_EQ(ops.singleton, 1u);  // "ops:eu:net" begins with "ops:" too
  EXPECT_EQ(ops.empty, 0u);
  EXPECT_EQ(ops.high_volatility_count, 1u);  // exactly 0.2 counts, NaN does not
  EXPECT_TRUE(std::isnan(ops.avg_volatility));
  const NamespaceBeliefSummary eu = *entries[1].belief_state_summary;
  EXPECT_EQ(eu.singleton, 1u);
  const NamespaceBeliefSummary quiet = *entries[2].belief_state_summary;
  EXPECT_EQ(quiet.resolved + quiet.unresolved + quiet.singleton + quiet.empty, 0u);
  EXPECT_EQ(quiet.avg_volatility, 0.0f);

  CrossNamespaceDigestParams off;
  off.belief_states = false;
  off.corrections = false;
  const NamespaceDigestEntry plain = f.build({"ops"}, off)[0];
  EXPECT_FALSE(plain.belief_state_summary.has_value());
  EXPECT_FALSE(plain.correction_count.has_value());
  EXPECT_FALSE(plain.correction_density.has_value());
}

TEST(NamespaceDigest, CorrectionsMatchByPrefixOrByLowerCasedContainmentOnce) {
  Fixture f;
  for (int i = 0; i < 4; ++i) f.records["r" + std::to_string(i)] = make_record("ops", {});
  f.records["w"] = make_record("Work", {});
  f.log = {
      correction("ops:disk"),      // begins with "ops:"
      correction("belief-OPS-7"),  // lower-cased, holds "ops-"
      correction("ops:x-ops-1"),   // both tests, counted once
      correction("Work:1"),        // begins with "Work:"
      correction("hyp-work-2"),    // holds "work-", but the name is not lower-cased
      correction("unrelated"),
  };
  const auto entries = f.build({"Work", "ops"});
  EXPECT_EQ(*entries[0].correction_count, 1u);
  EXPECT_EQ(*entries[0].correction_density, 1.0f);
  EXPECT_EQ(*entries[1].correction_count, 3u);
  EXPECT_EQ(*entries[1].correction_density, 0.75f);

  f.log = {};
  EXPECT_EQ(*f.build({"ops"})[0].correction_count, 0u);
  EXPECT_EQ(*f.build({"none"})[0].correction_density, 0.0f);
}

TEST(NamespaceDigest, PairsInOrderWithJaccardAndThreshold) {
  std::vector<NamespaceDigestEntry> entries(3);
  entries[0].namespace_ = "a";
  entries[0].tags = {"a", "b", "c"};
  entries[1].namespace_ = "b";
  entries[1].tags = {"b", "c", "d"};
  entries[2].namespace_ = "c";
  entries[2].tags = {"b", "c", "d"};
  entries[2].causal_signatures = {"=>"};

  CrossNamespaceDigestParams params;
  auto pairs = namespace_pair_similarities(entries, params);
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[0].namespace_a + pairs[0].namespace_b, "ab");
  EXPECT_EQ(pairs[1].namespace_a + pairs[1].namespace_b, "ac");
  EXPECT_EQ(pairs[2].namespace_a + pairs[2].namespace_b, "bc");
  EXPECT_EQ(pairs[0].shared_tags, (Texts{"b", "c"}));
  EXPECT_EQ(pairs[0].tag_jaccard, 0.5f);
  EXPECT_EQ(pairs[2].tag_jaccard, 1.0f);
  EXPECT_EQ(pairs[2].causal_signature_similarity, 0.0f);
  EXPECT_EQ(pairs[0].concept_signature_similarity, 0.0f);

  params.pairwise_similarity_threshold = 1.0f;
  pairs = namespace_pair_similarities(entries, params);
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].namespace_a + pairs[0].namespace_b, "bc");

  params.pairwise_similarity_threshold = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(namespace_pair_similarities(entries, params).size(), 3u);

  // A dimension that is off lists no shared texts; its figure still counts.
  params.pairwise_similarity_threshold = 0.0f;
  params.tags = false;
  pairs = namespace_pair_similarities(entries, params);
  EXPECT_TRUE(pairs[0].shared_tags.empty());
  EXPECT_EQ(pairs[0].tag_jaccard, 0.5f);
}

TEST(NamespaceDigest, DimensionNamesAndSelection) {
  CrossNamespaceDigestParams params;
  apply_digest_dimension_names({"Tags ", "BELIEFS", "\u00a0causal", "unknown"}, params);
  EXPECT_EQ(included_digest_dimensions(params), (Texts{"tags", "causal", "belief_states"}));
  apply_digest_dimension_names({}, params);
  EXPECT_TRUE(included_digest_dimensions(params).empty());
  apply_digest_dimension_names({"belief_state", "correction_density", "concepts", "structural"}, params);
  EXPECT_EQ(included_digest_dimensions(params), (Texts{"concepts", "structural", "belief_states", "corrections"}));

  RecordMap records;
  records["1"] = make_record("ops", {});
  records["2"] = make_record("ops", {});
  records["3"] = make_record("b", {});
  records["4"] = make_record("a", {});
  EXPECT_EQ(select_digest_namespaces(records, std::nullopt, 1), (Texts{"a", "b", "ops"}));
  EXPECT_EQ(select_digest_namespaces(records, std::nullopt, 0), (Texts{"a", "b", "ops"}));
  EXPECT_EQ(select_digest_namespaces(records, std::nullopt, 2), (Texts{"ops"}));
  EXPECT_EQ(select_digest_namespaces(records, Texts{"Ops", "b", "b", "none"}, 1), (Texts{"b"}));
  EXPECT_TRUE(select_digest_namespaces(records, Texts{}, 1).empty());
}

}  // namespace
}  // namespace vesk
