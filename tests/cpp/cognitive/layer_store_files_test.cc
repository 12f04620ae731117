// The four layer files: what a save writes and what a load makes of it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cognitive/belief_store_format.h"
#include "cognitive/causal_store_format.h"
#include "cognitive/concept_store_format.h"
#include "cognitive/layer_file_save.h"
#include "cognitive/layer_fixtures.h"
#include "cognitive/policy_store_format.h"
#include "cognitive/surface_loaders.h"
#include "cognitive/surface_savers.h"
#include "index/embedding_store.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::slurp;
using testing::TempDir;

// Saves with `save`, loads the file back with `load` and checks the one
// event; returns the loaded engine.
template <typename Engine>
Engine save_and_load(const PersistenceTarget& target, const Engine& engine,
                     Status (*save)(const PersistenceTarget&, const Engine&, Env&),
                     Engine (*load)(const PersistenceTarget&, const fs::path&, std::vector<StartupValidationEvent>&,
                                    Env&),
                     const char* file, const std::string& loaded_detail) {
  EXPECT_TRUE(save(target, engine, Env::Default()).ok()) << file;
  const std::string stored = slurp(target.dir / file);
  EXPECT_EQ(stored.substr(0, 4) == "AEF1", target.key != nullptr) << file;
  std::vector<StartupValidationEvent> events;
  Engine loaded = load(target, target.dir / file, events, Env::Default());
  EXPECT_EQ(events.size(), 1u);
  if (!events.empty()) {
    EXPECT_EQ(events[0].status, "loaded") << file;
    EXPECT_EQ(events[0].detail, loaded_detail) << file;
  }
  return loaded;
}

TEST(LayerStoreFiles, SavedEnginesLoadBackEqual) {
  StoreKey key = std::make_shared<const SecretKey>(SecretKey::random());
  for (StoreKey k : {StoreKey(), key}) {
    TempDir tmp;
    const PersistenceTarget target{tmp / "store", k};  // the save makes the directory

    // The embedding view of the belief engine and the graph copy of the causal
    // engine are working state, not stored.
    auto vectors = load_embedding_store(tmp.path(), nullptr, [](std::string_view) { return true; }, Env::Default());
    ASSERT_TRUE(vectors.ok());
    BeliefEngine beliefs = testing::belief_engine(3);
    beliefs.claim_embeddings = vectors->store.get();
    BeliefEngine loaded_beliefs =
        save_and_load(target, beliefs, &save_belief_store, &load_belief_store, kBeliefStoreFile, "loaded 3 beliefs");
    beliefs.claim_embeddings = nullptr;
    EXPECT_EQ(loaded_beliefs, beliefs);
    EXPECT_EQ(loaded_beliefs.coarse_key_mode, CoarseKeyMode::SdrTagPool);

    const ConceptEngine concepts = testing::concept_engine();
    EXPECT_EQ(save_and_load(target, concepts, &save_concept_store, &load_concept_store, kConceptStoreFile,
                            "loaded 1 concepts"),
              concepts);

    CausalEngine causal = testing::causal_engine();
    causal.topology = Topology{{{7, {Edge{8, 0.5f}}}}};
    CausalEngine loaded_causal = save_and_load(target, causal, &save_causal_store, &load_causal_store,
                                               kCausalStoreFile, "loaded 2 causal patterns");
    causal.topology.reset();
    EXPECT_EQ(loaded_causal, causal);
    EXPECT_EQ(loaded_causal.temporal_budget_mode, CausalTemporalBudgetMode::NearbySuccessors);
    EXPECT_EQ(loaded_causal.last_corpus_fingerprint, 18446744073709551615ull);
    EXPECT_EQ(loaded_causal.patterns.at("cp-2").invalidation_reason, "contradicted by \"outcome\"");

    const PolicyEngine policies = testing::policy_engine();
    EXPECT_EQ(save_and_load(target, policies, &save_policy_store, &load_policy_store, kPolicyStoreFile,
                            "loaded 1 policy hints"),
              policies);
  }
}

TEST(LayerStoreFiles, WritesCompactMembersInTableOrder) {
  BeliefEngine beliefs;
  Belief b = testing::belief(1);
  b.hypothesis_ids = {};
  b.winner_id.reset();
  beliefs.beliefs[b.id] = b;
  EXPECT_EQ(layer_json(beliefs),
            R"({"beliefs":{"belief-1":{"id":"belief-1","key":"kiln|temperature|1","hypothesis_ids":[],)"
            R"("winner_id":null,"state":"Resolved","score":0.75,"confidence":0.6,"support_mass":3.5,)"
            R"("conflict_mass":1.25,"stability":0.8,"volatility":0.1,"world_verdict":"Confirmed",)"
            R"("last_updated":1750000001.125}},"hypotheses":{},"key_index":{},"record_index":{},)"
            R"("coarse_key_mode":"Standard","claim_similarity_override":null,"embedding_similarity_override":null})");

  CausalEngine causal;
  causal.patterns["cp-1"] = testing::causal_pattern("cp-1", false);
  causal.patterns["cp-1"].transition_lift = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(layer_json(causal),
            R"({"patterns":{"cp-1":{"id":"cp-1","key":"work|cp-1","namespace":"work",)"
            R"("cause_belief_ids":["belief-1"],"effect_belief_ids":["belief-2"],"cause_record_ids":["aaaaaaaaaaa1"],)"
            R"("effect_record_ids":["aaaaaaaaaaa2","aaaaaaaaaaa3"],"support_count":5,"explicit_support_count":2,)"
            R"("temporal_support_count":3,"unique_temporal_windows":4,"effect_record_signature_variants":6,)"
            R"("positive_effect_signals":7,"negative_effect_signals":8,"counterevidence":1,)"
            R"("explicit_support_total_for_cause":9,"explicit_effect_variants_for_cause":10,"transition_lift":0.0,)"
            R"("temporal_consistency":0.75,"outcome_stability":0.625,"causal_strength":0.5,"state":"Stable",)"
            R"("invalidation_reason":null,"invalidated_at":null,"last_updated":1750000001.25}},"key_index":{},)"
            R"("temporal_budget_mode":"ExhaustiveCapped","evidence_mode":"StrictRepeatedWindows",)"
            R"("last_corpus_fingerprint":0,"last_edges_found":0,"last_explicit_edges_found":0,)"
            R"("last_temporal_edges_found":0})");

  ConceptEngine concepts;
  EXPECT_EQ(layer_json(concepts),
            R"({"concepts":{},"key_index":{},"seed_mode":"Standard","similarity_mode":"CanonicalFeature",)"
            R"("partition_mode":"Standard","union_mode":"Standard"})");
  EXPECT_EQ(layer_json(PolicyEngine{}), R"({"hints":{},"key_index":{}})");
}

// Documents built around one entry of each map, so that a case shows only
// the members it is about.
const std::string kBeliefMembers =
    R"("id":"b","key":"k","hypothesis_ids":["h"],"state":"Singleton","score":0.5,"confidence":0.5,)"
    R"("support_mass":1,"conflict_mass":0,"stability":0.9,"last_updated":1750000000.5)";
const std::string kHypothesisMembers =
    R"("id":"h","belief_id":"b","prototype_record_ids":["r"],"score":0.5,"confidence":0.5,"support_mass":1,)"
    R"("conflict_mass":0,"recency":1,"consistency":1)";
const std::string kCandidateMembers =
    R"("id":"c","key":"k","namespace":"work","semantic_type":"fact","belief_ids":["b"],"record_ids":["r"],)"
    R"("core_terms":["kiln"],"shell_terms":[],"tags":["pottery"],"support_mass":1,"confidence":0.5,)"
    R"("stability":0.5,"cohesion":0.5,"abstraction_score":0.5,"state":"Candidate","last_updated":1750000000)";
const std::string kPatternMembers =
    R"("id":"p","key":"k","namespace":"work","cause_belief_ids":[],"effect_belief_ids":[],)"
    R"("cause_record_ids":["r1"],"effect_record_ids":["r2"],"support_count":2,"counterevidence":0,)"
    R"("transition_lift":1.5,"temporal_consistency":0.5,"outcome_stability":0.5,"causal_strength":0.5,)"
    R"("state":"Candidate","last_updated":1750000000)";
const std::string kHintMembers =
    R"("id":"ph","key":"k","namespace":"work","domain":"deploy","action_kind":"Warn","recommendation":"r",)"
    R"("trigger_causal_ids":[],"trigger_concept_ids":[],"trigger_belief_ids":[],"supporting_record_ids":[],)"
    R"("cause_record_ids":["r1"],"confidence":0.5,"utility_score":0.5,"risk_score":0.1,"policy_strength":0.5,)"
    R"("state":"Stable","last_updated":1750000000)";

std::string beliefs_doc(const std::string& belief, const std::string& hypothesis = kHypothesisMembers,
                        const std::string& top = "") {
  return R"({"beliefs":{"b":{)" + belief + R"(}},"hypotheses":{"h":{)" + hypothesis +
         R"(}},"key_index":{"k":"b"},"record_index":{"r":"h"})" + top + "}";
}
std::string concepts_doc(const std::string& candidate, const std::string& top = "") {
  return R"({"concepts":{"c":{)" + candidate + R"(}},"key_index":{"k":"c"})" + top + "}";
}
std::string causal_doc(const std::string& pattern, const std::string& top =
                                                       R"(,"temporal_budget_mode":"ExhaustiveCapped",)"
                                                       R"("evidence_mode":"StrictRepeatedWindows")") {
  return R"({"patterns":{"p":{)" + pattern + R"(}},"key_index":{"k":"p"})" + top + "}";
}
std::string policy_doc(const std::string& hint, const std::string& top = R"(,"key_index":{"k":"ph"})") {
  return R"({"hints":{"ph":{)" + hint + "}}" + top + "}";
}

// `text` with its first `from` replaced by `to`.
std::string with(std::string text, std::string_view from, std::string_view to) {
  return text.replace(text.find(from), from.size(), to);
}

template <typename Engine>
std::function<Status(std::string_view)> reader(Result<Engine> (*parse)(std::string_view)) {
  return [parse](std::string_view text) { return parse(text).status(); };
}

TEST(LayerStoreFiles, ReadingRules) {
  const auto beliefs = reader(&parse_belief_engine);
  const auto concepts = reader(&parse_concept_engine);
  const auto causal = reader(&parse_causal_engine);
  const auto policies = reader(&parse_policy_engine);
  struct Case {
    std::function<Status(std::string_view)> parse;
    std::string text;
    const char* error;  // the start of the message; "" when the text loads
  };
  const Case cases[] = {
      // What each table requires, and the first missing member in table order.
      {beliefs, beliefs_doc(kBeliefMembers), ""},
      {beliefs, beliefs_doc(R"("id":"b","key":"k","hypothesis_ids":[],"state":"Empty","score":0,"confidence":0,)"
                            R"("support_mass":0,"conflict_mass":0,"last_updated":0)"),
       "missing field `stability` at line 1 column "},
      {beliefs, beliefs_doc(kBeliefMembers, R"("id":"h","belief_id":"b","prototype_record_ids":[],"score":0)"),
       "missing field `confidence`"},
      {beliefs, R"({"beliefs":{},"hypotheses":{},"key_index":{}})", "missing field `record_index`"},
      {concepts, concepts_doc(R"("id":"c","key":"k","namespace":"w","semantic_type":"fact","belief_ids":[],)"
                              R"("record_ids":[],"core_terms":[],"shell_terms":[],"support_mass":1,)"
                              R"("confidence":0.5,"stability":0.5,"cohesion":0.5,"abstraction_score":0.5,)"
                              R"("state":"Candidate","last_updated":1)"),
       "missing field `tags`"},
      {concepts, R"({"concepts":{},"key_index":{}})", ""},
      {concepts, R"({"key_index":{}})", "missing field `concepts`"},
      {causal, causal_doc(kPatternMembers), ""},
      {causal, causal_doc(R"("id":"p","key":"k","namespace":"w","cause_belief_ids":[],"effect_belief_ids":[],)"
                          R"("cause_record_ids":[],"effect_record_ids":[],"support_count":2,"transition_lift":1,)"
                          R"("temporal_consistency":0,"outcome_stability":0,"causal_strength":0,)"
                          R"("state":"Candidate","last_updated":0)"),
       "missing field `counterevidence`"},
      {causal, causal_doc(kPatternMembers, R"(,"temporal_budget_mode":"ExhaustiveCapped")"),
       "missing field `evidence_mode`"},
      {policies, policy_doc(kHintMembers), ""},
      {policies, policy_doc(kHintMembers, ""), "missing field `key_index`"},
      {policies, policy_doc(R"("id":"ph","key":"k","namespace":"w","action_kind":"Warn","recommendation":"r",)"
                            R"("trigger_causal_ids":[],"trigger_concept_ids":[],"trigger_belief_ids":[],)"
                            R"("supporting_record_ids":[],"cause_record_ids":[],"confidence":0,)"
                            R"("utility_score":0,"risk_score":0,"policy_strength":0,"state":"Stable",)"
                            R"("last_updated":0)"),
       "missing field `domain`"},
      // Enumerations: the exact name, or the name with null in an object.
      {beliefs, beliefs_doc(kBeliefMembers + R"(,"world_verdict":{"Refuted":null})"), ""},
      {beliefs, beliefs_doc(with(kBeliefMembers, R"("Singleton")", R"("resolved")")),
       "unknown variant `resolved`, expected one of `Resolved`, `Unresolved`, `Singleton`, `Empty` at line 1 "},
      {beliefs, beliefs_doc(kBeliefMembers, kHypothesisMembers, R"(,"coarse_key_mode":{"DualKey":1})"),
       "invalid type: integer `1`, expected unit"},
      {concepts, concepts_doc(kCandidateMembers, R"(,"similarity_mode":"sdr_tanimoto")"),
       "unknown variant `sdr_tanimoto`, expected `SdrTanimoto` or `CanonicalFeature`"},
      {policies, policy_doc(kHintMembers + R"(,"action_kind":"VerifyFirst")"), "duplicate field `action_kind`"},
      {causal, causal_doc(kPatternMembers, R"(,"temporal_budget_mode":"NearbySuccessors",)"
                                           R"("evidence_mode":{"TemporalClusterRecovery":null})"),
       ""},
      // Members of other names are skipped at every level; a member twice in
      // one object is refused.
      {beliefs, beliefs_doc(R"("note":{"x":[null]},)" + kBeliefMembers, kHypothesisMembers + R"(,"weight":null)",
                            R"(,"version":2)"),
       ""},
      {beliefs, beliefs_doc(kBeliefMembers + R"(,"score":0.25)"), "duplicate field `score`"},
      {causal, causal_doc(kPatternMembers, R"(,"temporal_budget_mode":"ExhaustiveCapped",)"
                                           R"("evidence_mode":"StrictRepeatedWindows","key_index":{})"),
       "duplicate field `key_index`"},
      // Floats refuse null, except the optional ones; numbers are exact.
      {beliefs, beliefs_doc(R"("volatility":null,)" + kBeliefMembers), "invalid type: null, expected f32"},
      {beliefs, beliefs_doc(kBeliefMembers, kHypothesisMembers,
                            R"(,"claim_similarity_override":null,"embedding_similarity_override":0.9)"),
       ""},
      {concepts, concepts_doc(kCandidateMembers + R"(,"cohesion_extra":null)"), ""},
      {causal, causal_doc(kPatternMembers + R"(,"invalidated_at":null,"invalidation_reason":null)"), ""},
      {causal, causal_doc(R"("causal_strength":null,)" + kPatternMembers), "invalid type: null, expected f32"},
      {causal, causal_doc(R"("positive_effect_signals":-1,)" + kPatternMembers),
       "invalid value: integer `-1`, expected u64"},
      {causal, causal_doc(R"("explicit_support_count":1.5,)" + kPatternMembers),
       "invalid type: floating point `1.5`, expected u64"},
      {causal, causal_doc(kPatternMembers, R"(,"temporal_budget_mode":"ExhaustiveCapped",)"
                                           R"("evidence_mode":"ExplicitTrusted","last_corpus_fingerprint":)"
                                           R"(18446744073709551616)"),
       "invalid type: floating point `18446744073709552000.0`, expected u64"},
      {policies, policy_doc(kHintMembers + R"(,"evidence_source_floor":null)"),
       "invalid type: null, expected a string"},
      // The positional form: the values in table order, stopping early only
      // where every later member has a default; never more values.
      {beliefs, R"([{"b":["b","k",[],null,"Empty",0,0,0,0,0,0,"EvidenceDebt",1]},{},{},{}])", ""},
      {beliefs, R"([{"b":["b","k",[],null,"Empty",0,0,0,0,0]},{},{},{}])",
       "invalid length 12, expected struct Belief with 13 elements"},
      {policies, R"([{},{},1])", "trailing characters"},
      {concepts, R"([{}])", "invalid length 1, expected struct ConceptEngine with 6 elements"},
      {concepts, R"([{},{},"Warmup"])", ""},
      // Whatever goes wrong, the error is the first one a reader meets in
      // the text, however the members are read.
      {beliefs, with(beliefs_doc(with(kBeliefMembers, R"("stability":0.9,)", "")), R"("record_index":{)",
                     R"("record_index":{,)"),
       "missing field `stability` at line 1 column "},
      {beliefs, with(beliefs_doc(kBeliefMembers), R"("key_index":{)", R"("key_index":{"k":null,)"),
       "invalid type: null, expected a string at line 1 column 377"},
      // One document, nothing after it.
      {policies, policy_doc(kHintMembers) + " \n", ""},
      {policies, policy_doc(kHintMembers) + "x", "trailing characters"},
  };
  for (const Case& c : cases) {
    Status st = c.parse(c.text);
    if (*c.error == '\0') {
      EXPECT_TRUE(st.ok()) << c.text << "\n" << st.message();
    } else {
      EXPECT_EQ(st.message().substr(0, std::string_view(c.error).size()), c.error) << c.text;
    }
  }
}

TEST(LayerStoreFiles, AbsentMembersTakeTheFilesDefaults) {
  const BeliefEngine beliefs = *parse_belief_engine(beliefs_doc(kBeliefMembers));
  const Belief& b = beliefs.beliefs.at("b");
  EXPECT_EQ(b.winner_id, std::nullopt);
  EXPECT_EQ(b.volatility, 0.0f);
  EXPECT_EQ(b.world_verdict, WorldVerdict::EvidenceDebt);
  EXPECT_EQ(beliefs.coarse_key_mode, CoarseKeyMode::Standard);
  EXPECT_EQ(beliefs.claim_similarity_override, std::nullopt);
  EXPECT_EQ(beliefs.embedding_similarity_override, std::nullopt);

  // A file without the similarity mode reads "SdrTanimoto", unlike a fresh
  // engine.
  const ConceptEngine concepts = *parse_concept_engine(R"({"concepts":{},"key_index":{}})");
  EXPECT_EQ(concepts.seed_mode, ConceptSeedMode::Standard);
  EXPECT_EQ(concepts.similarity_mode, ConceptSimilarityMode::SdrTanimoto);
  EXPECT_EQ(concepts.partition_mode, ConceptPartitionMode::Standard);
  EXPECT_EQ(concepts.union_mode, ConceptUnionMode::Standard);
  EXPECT_EQ(ConceptEngine{}.similarity_mode, ConceptSimilarityMode::CanonicalFeature);
  EXPECT_EQ(parse_concept_engine(R"([{},{}])")->similarity_mode, ConceptSimilarityMode::SdrTanimoto);

  const CausalEngine causal = *parse_causal_engine(causal_doc(kPatternMembers));
  CausalPattern want;
  want.id = "p";
  want.key = "k";
  want.namespace_ = "work";
  want.cause_record_ids = {"r1"};
  want.effect_record_ids = {"r2"};
  want.support_count = 2;
  want.transition_lift = 1.5f;
  want.temporal_consistency = want.outcome_stability = want.causal_strength = 0.5f;
  want.last_updated = 1750000000;
  EXPECT_EQ(causal.patterns.at("p"), want);
  EXPECT_EQ(causal.last_corpus_fingerprint, 0u);
  EXPECT_EQ(causal.last_edges_found + causal.last_explicit_edges_found + causal.last_temporal_edges_found, 0u);

  EXPECT_EQ(parse_policy_engine(policy_doc(kHintMembers))->hints.at("ph").evidence_source_floor, "recorded");
}

TEST(LayerStoreFiles, RepeatedMapKeysKeepTheLaterEntry) {
  const std::string text = R"({"hints":{"ph":{)" + kHintMembers + R"(},"ph":{)" + kHintMembers +
                           R"(,"evidence_source_floor":"generated"}},"key_index":{"k":"x","k":"ph"}})";
  const PolicyEngine policies = *parse_policy_engine(text);
  ASSERT_EQ(policies.hints.size(), 1u);
  EXPECT_EQ(policies.hints.at("ph").evidence_source_floor, "generated");
  EXPECT_EQ(policies.key_index.at("k"), "ph");

  // Map keys are taken as written, not checked against the ids inside.
  const BeliefEngine beliefs = *parse_belief_engine(
      R"({"beliefs":{"other":{)" + kBeliefMembers + R"(}},"hypotheses":{},"key_index":{},"record_index":{"r":"gone"}})");
  EXPECT_EQ(beliefs.beliefs.at("other").id, "b");
  EXPECT_EQ(beliefs.record_index.at("r"), "gone");
}

}  // namespace
}  // namespace vesk
