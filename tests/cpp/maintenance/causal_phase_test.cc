// The causal phase on hand-built snapshots (the tests set created_at): the
// corpus fingerprint, explicit and temporal edges with their budget and cap,
// consequence signals, the scores and gates, and the rebuilt engine.
#include <gtest/gtest.h>

#include <xxhash.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cognitive/causal_pattern_key.h"
#include "cognitive/causal_record_index.h"
#include "maintenance/causal_edges.h"
#include "maintenance/causal_scoring.h"
#include "maintenance/consequence_tags.h"
#include "maintenance/layer_phases.h"

namespace vesk {
namespace {

constexpr double kT0 = 1'700'000'000.0;
constexpr double kWeek = 604800.0;

struct Corpus {
  CycleSnapshot records;
  BeliefEngine beliefs;
  CausalEngine engine;

  Record& add(const std::string& id, double created_at, const std::string& ns = "default") {
    Record r;
    r.id = id;
    r.content = "memory " + id;
    r.namespace_ = ns;
    r.created_at = created_at;
    records[id] = r;
    return records[id];
  }
  // A belief in `state` whose one hypothesis holds `members`.
  void belief(const std::string& id, BeliefState state, const std::vector<std::string>& members) {
    Belief b;
    b.id = id;
    b.state = state;
    b.hypothesis_ids = {"h-" + id};
    beliefs.beliefs[id] = b;
    Hypothesis h;
    h.id = "h-" + id;
    h.belief_id = id;
    h.prototype_record_ids = members;
    beliefs.hypotheses[h.id] = h;
    for (const std::string& m : members) beliefs.record_index[m] = h.id;
  }
  CausalEdgeScan edges() const { return find_causal_edges(records, engine.temporal_budget_mode); }
  CausalPhaseReport run(double now = kT0 + 100 * kWeek) {
    return discover_causal_patterns(engine, beliefs, records, now);
  }
  const CausalPattern& pattern(const std::string& key) const {
    return engine.patterns.at(engine.key_index.at(key));
  }
};

uint64_t count_from(const CausalEdgeScan& scan, const std::string& cause, bool explicit_edge) {
  uint64_t n = 0;
  for (const RecordCausalEdge& e : scan.edges) n += e.cause->id == cause && e.explicit_edge == explicit_edge;
  return n;
}

TEST(CausalEdges, TemporalWindowIsInclusiveAndEqualTimesGiveNothing) {
  struct Case {
    double gap;
    uint64_t edges;
  };
  for (const Case& c : {Case{kWeek, 1}, Case{kWeek + 1, 0}, Case{0.0, 0}, Case{0.5, 1}}) {
    Corpus k;
    k.add("a", kT0);
    k.add("b", kT0 + c.gap);
    const CausalEdgeScan scan = k.edges();
    EXPECT_EQ(scan.temporal_edges_found, c.edges) << c.gap;
    EXPECT_EQ(scan.temporal_pairs_considered, 1u) << c.gap;
    if (c.edges == 1) {
      EXPECT_EQ(scan.edges[0].cause->id, "a");
      EXPECT_EQ(scan.edges[0].event_time, kT0 + c.gap);
    }
  }
}

TEST(CausalEdges, NearbySuccessorsExaminesSixteenLaterRecords) {
  for (CausalTemporalBudgetMode mode : {CausalTemporalBudgetMode::NearbySuccessors,
                                        CausalTemporalBudgetMode::ExhaustiveCapped}) {
    Corpus k;
    k.engine.temporal_budget_mode = mode;
    for (int i = 0; i < 21; ++i) k.add("r" + std::to_string(100 + i), kT0 + 60.0 * i);
    const CausalEdgeScan scan = k.edges();
    const bool nearby = mode == CausalTemporalBudgetMode::NearbySuccessors;
    EXPECT_EQ(count_from(scan, "r100", false), nearby ? 16u : 20u);
    // Positions 0..3 each leave 4, 3, 2, 1 successors unexamined.
    EXPECT_EQ(scan.temporal_pairs_skipped_by_budget, nearby ? 10u : 0u);
    EXPECT_EQ(scan.temporal_pairs_considered, scan.temporal_edges_found);
  }
}

TEST(CausalEdges, CapStopsANamespaceAtFiveThousandAndOthersGoOn) {
  Corpus k;
  for (int i = 0; i < 5003; ++i) k.add("a" + std::to_string(i), kT0 + i * 0.01, "busy");
  k.add("b1", kT0, "quiet");
  k.add("b2", kT0 + 1, "quiet");
  const CausalEdgeScan scan = k.edges();
  EXPECT_EQ(scan.temporal_edges_found, 5001u);
  EXPECT_EQ(scan.temporal_namespaces_scanned, 2u);
  EXPECT_EQ(scan.temporal_namespaces_hit_cap, 1u);
  EXPECT_EQ(scan.temporal_edges_capped, 2u);  // 5003 - 5001
  EXPECT_EQ(count_from(scan, "b1", false), 1u);

  // A namespace with fewer than 5001 records counts the cap but caps nothing.
  Corpus small;
  for (int i = 0; i < 101; ++i) small.add("s" + std::to_string(i), kT0 + i);
  const CausalEdgeScan s = small.edges();
  EXPECT_EQ(s.temporal_edges_found, 5000u);
  EXPECT_EQ(s.temporal_namespaces_hit_cap, 1u);
  EXPECT_EQ(s.temporal_edges_capped, 0u);
}

TEST(CausalEdges, ExplicitEdgesFromParentsAndCausalConnections) {
  Corpus k;
  k.add("old", kT0);
  k.add("new", kT0 + 10).caused_by_id = "old";
  k.add("early", kT0 + 20).caused_by_id = "late";  // parent created after the child
  k.add("late", kT0 + 30);
  k.add("far", kT0 + 40).caused_by_id = "elsewhere";  // other namespace
  k.add("elsewhere", kT0, "other");
  k.add("orphan", kT0 + 50).caused_by_id = "missing";
  k.add("self", kT0 + 60).caused_by_id = "self";
  k.records["late"].connection_types["old"] = "causal";  // older target becomes the cause
  k.records["late"].connection_types["new"] = "Causal";  // not exactly "causal"
  k.records["new"].connection_types["old"] = "causal";   // the pair already has an edge
  const CausalEdgeScan scan = k.edges();

  std::vector<std::string> explicit_pairs;
  for (const RecordCausalEdge& e : scan.edges)
    if (e.explicit_edge) explicit_pairs.push_back(e.cause->id + ">" + e.effect->id);
  std::sort(explicit_pairs.begin(), explicit_pairs.end());
  EXPECT_EQ(explicit_pairs, (std::vector<std::string>{"late>early", "old>late", "old>new", "self>self"}));
  EXPECT_EQ(scan.explicit_edges_found, 4u);
  // Explicit edges come first; the temporal scan adds early -> late, whose
  // key differs from late -> early, but not old -> new again.
  for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(scan.edges[i].explicit_edge);
  EXPECT_EQ(count_from(scan, "early", false), 4u);  // late, far, orphan, self
  EXPECT_EQ(count_from(scan, "old", false), 4u);    // early, far, orphan, self (not new, late)
}

TEST(CausalFingerprint, HashesTheDocumentedLinesInIdOrder) {
  Corpus k;
  k.add("b2", 1.5, "ns").caused_by_id = "a1";
  k.add("a1", 0.0);
  k.records["b2"].connection_types = {{"z9", "causal"}, {"c3", "causal"}, {"d4", "Causal"}, {"e5", "follows"}};
  // 1.5 is 0x3FF8000000000000.
  const std::string text = "a1|default|0||\nb2|ns|4609434218613702656|a1|c3,z9,\n";
  EXPECT_EQ(causal_corpus_fingerprint(k.records), XXH3_64bits(text.data(), text.size()));

  const uint64_t base = causal_corpus_fingerprint(k.records);
  Corpus same = k;
  same.records["a1"].content = "changed";
  same.records["a1"].tags = {"x"};
  same.records["a1"].strength = 0.1f;
  same.records["b2"].connection_types["f6"] = "Causal";
  EXPECT_EQ(causal_corpus_fingerprint(same.records), base);
  Corpus moved = k;
  moved.records["a1"].created_at = 0.25;
  EXPECT_NE(causal_corpus_fingerprint(moved.records), base);
  Corpus linked = k;
  linked.records["a1"].connection_types["b2"] = "causal";
  EXPECT_NE(causal_corpus_fingerprint(linked.records), base);
}

TEST(ConsequenceTags, CountsTagsOutcomeAndContradictions) {
  struct Case {
    std::vector<std::string> tags;
    std::string outcome;  // "" for no outcome key
    std::string semantic_type;
    ConsequenceTagCounts want;
  };
  const std::vector<Case> cases = {
      {{"consequence-support", "consequence-support"}, " Negative ", "contradiction", {2, 3}},
      {{"consequence-refute", "Consequence-Support"}, "POSITIVE", "fact", {1, 1}},
      {{}, "maybe", "fact", {0, 0}},
      {{"consequence-refute", "consequence-refute"}, "", "Contradiction", {0, 2}},
  };
  for (const Case& c : cases) {
    Record r;
    r.tags = c.tags;
    if (!c.outcome.empty()) r.metadata["outcome"] = c.outcome;
    r.semantic_type = c.semantic_type;
    EXPECT_EQ(count_consequence_tags(r), c.want) << c.outcome;
  }
}

TEST(CausalScoring, OutcomeStability) {
  struct Case {
    std::vector<float> strengths;
    float want;
  };
  for (const Case& c : {Case{{1.0f, 1.0f}, 1.0f}, Case{{0.2f, 1.0f}, 1.0f - 0.4f / 0.6f}, Case{{0.7f}, 0.5f},
                        Case{{0.0f, 0.0f}, 0.5f}, Case{{0.0f, 1.0f}, 0.0f}}) {
    EXPECT_NEAR(causal_outcome_stability(c.strengths), c.want, 1e-5) << c.strengths.size();
  }
}

TEST(CausalScoring, GatesByMode) {
  using M = CausalEvidenceMode;
  struct Case {
    const char* name;
    M mode;
    CausalPattern p;
    CausalGateVerdict want;
  };
  auto pat = [](uint64_t S, uint64_t E, uint64_t W, uint64_t C, uint64_t T, uint64_t V, uint64_t G, uint64_t P,
                uint64_t N) {
    CausalPattern p;
    p.support_count = S;
    p.explicit_support_count = E;
    p.temporal_support_count = S - E;
    p.unique_temporal_windows = W;
    p.counterevidence = C;
    p.explicit_support_total_for_cause = T;
    p.explicit_effect_variants_for_cause = V;
    p.effect_record_signature_variants = G;
    p.positive_effect_signals = P;
    p.negative_effect_signals = N;
    return p;
  };
  const std::vector<Case> cases = {
      {"3:2 split, larger", M::StrictRepeatedWindows, pat(3, 3, 0, 2, 5, 2, 1, 0, 0), {true, true, false}},
      {"3:2 split, smaller", M::StrictRepeatedWindows, pat(2, 2, 0, 3, 5, 2, 1, 0, 0), {true, true, false}},
      {"8:2 split, larger", M::StrictRepeatedWindows, pat(8, 8, 0, 2, 10, 2, 1, 0, 0), {true, true, true}},
      {"C 3 S 2", M::StrictRepeatedWindows, pat(2, 0, 2, 3, 3, 1, 1, 0, 0), {true, true, false}},
      {"one explicit, strict", M::StrictRepeatedWindows, pat(1, 1, 0, 0, 1, 1, 1, 0, 0), {false, false, true}},
      {"one explicit, trusted", M::ExplicitTrusted, pat(1, 1, 0, 0, 1, 1, 1, 0, 0), {true, true, true}},
      {"trusted, mixed polarity", M::ExplicitTrusted, pat(1, 1, 0, 0, 1, 1, 1, 1, 1), {true, true, false}},
      {"trusted, varied effects", M::ExplicitTrusted, pat(2, 2, 0, 0, 2, 1, 2, 0, 0), {true, true, true}},
      {"strict, varied effects", M::StrictRepeatedWindows, pat(2, 2, 0, 0, 2, 1, 2, 0, 0), {true, true, false}},
      {"two days", M::StrictRepeatedWindows, pat(2, 0, 2, 0, 0, 0, 1, 0, 0), {true, true, true}},
      {"one day", M::StrictRepeatedWindows, pat(2, 0, 1, 0, 0, 0, 1, 0, 0), {true, false, true}},
      {"one day, recovery", M::TemporalClusterRecovery, pat(2, 0, 1, 0, 0, 0, 1, 1, 0), {true, true, true}},
      {"recovery, no support", M::TemporalClusterRecovery, pat(2, 0, 1, 0, 0, 0, 1, 0, 0), {true, false, true}},
      {"recovery, refuted", M::TemporalClusterRecovery, pat(2, 0, 1, 0, 0, 0, 1, 1, 1), {true, false, true}},
  };
  for (const Case& c : cases) {
    const CausalGateVerdict v = judge_causal_gates(c.p, c.mode);
    EXPECT_EQ(v.support, c.want.support) << c.name;
    EXPECT_EQ(v.repeated, c.want.repeated) << c.name;
    EXPECT_EQ(v.counterfactual, c.want.counterfactual) << c.name;
  }
}

TEST(CausalScoring, StrengthAndState) {
  CausalPattern p;
  p.support_count = 20;
  p.transition_lift = 1.0f;
  p.temporal_consistency = 1.0f;
  p.outcome_stability = 0.5f;
  EXPECT_NEAR(causal_strength(p, CausalEvidenceMode::StrictRepeatedWindows), 0.9f, 1e-6);
  p.support_count = 1;
  p.explicit_support_count = 1;
  EXPECT_NEAR(causal_strength(p, CausalEvidenceMode::StrictRepeatedWindows), 0.3f, 1e-6);
  EXPECT_NEAR(causal_strength(p, CausalEvidenceMode::ExplicitTrusted), 0.784f, 1e-3);

  const CausalGateVerdict pass{true, true, true};
  EXPECT_EQ(decide_causal_state(pass, 0.75f), CausalState::Stable);
  EXPECT_EQ(decide_causal_state(pass, 0.5f), CausalState::Candidate);
  EXPECT_EQ(decide_causal_state(pass, 0.49f), CausalState::Rejected);
  EXPECT_EQ(decide_causal_state(pass, std::nanf("")), CausalState::Rejected);
  EXPECT_EQ(decide_causal_state({true, false, true}, 0.9f), CausalState::Rejected);
}

// Five lone records of one namespace, the newest caused by the oldest.
Corpus five_with_a_parent(CausalEvidenceMode mode) {
  Corpus k;
  k.engine.evidence_mode = mode;
  for (int i = 0; i < 5; ++i) k.add("r" + std::to_string(i), kT0 + i);
  k.records["r4"].caused_by_id = "r0";
  return k;
}

TEST(CausalPhase, OneExplicitEdgeIsStableOnlyWhenExplicitLinksAreTrusted) {
  const std::string key = "default:orphan:r0\u2192orphan:r4";
  struct Case {
    CausalEvidenceMode mode;
    CausalState state;
    float strength;
    CausalPhaseReport report;
  };
  const std::vector<Case> cases = {
      {CausalEvidenceMode::ExplicitTrusted, CausalState::Stable, 0.784f,
       {.patterns_meeting_support_gate = 1, .patterns_meeting_repeated_window_gate = 1,
        .patterns_meeting_counterfactual_gate = 10, .patterns_blocked_by_evidence_gates = 9, .stable_count = 1,
        .rejected_count = 9}},
      {CausalEvidenceMode::StrictRepeatedWindows, CausalState::Rejected, 0.3f,
       {.patterns_meeting_counterfactual_gate = 10, .patterns_blocked_by_evidence_gates = 10, .rejected_count = 10}},
  };
  for (const Case& c : cases) {
    Corpus k = five_with_a_parent(c.mode);
    CausalPhaseReport r = k.run();
    CausalPhaseReport want = c.report;
    want.edges_found = 10;
    want.explicit_edges_found = 1;
    want.temporal_edges_found = 9;
    want.temporal_namespaces_scanned = 1;
    want.temporal_pairs_considered = 10;
    want.candidates_found = 10;
    want.avg_causal_strength = r.avg_causal_strength;
    EXPECT_EQ(r, want);

    const CausalPattern& p = k.pattern(key);
    EXPECT_EQ(p.id, causal_pattern_id(key));
    char hex[24];
    std::snprintf(hex, sizeof hex, "%012llx", static_cast<unsigned long long>(XXH3_64bits(key.data(), key.size())));
    EXPECT_EQ(p.id, "ca-" + std::string(hex));
    EXPECT_EQ(p.state, c.state);
    EXPECT_NEAR(p.causal_strength, c.strength, 1e-3);
    EXPECT_EQ(p.transition_lift, 1.0f);  // one effect among five records
    EXPECT_EQ(p.temporal_consistency, 1.0f);
    EXPECT_EQ(p.outcome_stability, 0.5f);
    EXPECT_EQ(p.support_count, 1u);
    EXPECT_EQ(p.explicit_support_count, 1u);
    EXPECT_EQ(p.last_updated, kT0 + 100 * kWeek);
    EXPECT_EQ(k.engine.patterns.size(), 10u);
    EXPECT_EQ(k.engine.key_index.size(), 10u);
    EXPECT_EQ(k.engine.last_edges_found, 10u);
    const CausalRecordLinks* links = causal_links_for_record(k.engine, "r4");
    ASSERT_NE(links, nullptr);
    EXPECT_NE(std::find(links->as_effect.begin(), links->as_effect.end(), p.id), links->as_effect.end());

    // A second run over the same records is skipped, whatever the mode now says.
    k.engine.evidence_mode = CausalEvidenceMode::TemporalClusterRecovery;
    const CausalEngine before = k.engine;
    CausalPhaseReport again = k.run();
    EXPECT_EQ(k.engine, before);
    EXPECT_TRUE(again.skipped);
    EXPECT_EQ(again.edges_found, 10u);
    EXPECT_EQ(again.explicit_edges_found, 1u);
    EXPECT_EQ(again.temporal_edges_found, 9u);
    EXPECT_EQ(again.temporal_pairs_considered, 0u);
    EXPECT_EQ(again.candidates_found, 10u);
    EXPECT_EQ(again.stable_count, r.stable_count);
    EXPECT_EQ(again.rejected_count, r.rejected_count);
    EXPECT_FLOAT_EQ(again.avg_causal_strength, r.avg_causal_strength);
  }
}

TEST(CausalPhase, ExplicitSplitBetweenTwoEffectBeliefsFailsTheCounterfactualGate) {
  // Records a week and more apart: only explicit edges.
  Corpus k;
  const std::vector<std::string> ids = {"c1", "x1", "c2", "x2", "c3", "x3", "y1", "y2"};
  for (size_t i = 0; i < ids.size(); ++i) k.add(ids[i], kT0 + 2 * kWeek * static_cast<double>(i));
  k.belief("bc", BeliefState::Resolved, {"c1", "c2", "c3"});
  k.belief("bx", BeliefState::Singleton, {"x1", "x2", "x3"});
  k.belief("by", BeliefState::Singleton, {"y1", "y2"});
  k.records["x1"].caused_by_id = "c1";
  k.records["x2"].caused_by_id = "c2";
  k.records["x3"].caused_by_id = "c3";
  k.records["y1"].caused_by_id = "c1";
  k.records["y2"].caused_by_id = "c2";
  const CausalPhaseReport r = k.run();
  EXPECT_EQ(r.temporal_edges_found, 0u);
  EXPECT_EQ(r.candidates_found, 2u);
  EXPECT_EQ(r.patterns_blocked_by_counterfactual_gate, 2u);
  EXPECT_EQ(r.rejected_count, 2u);

  const CausalPattern& big = k.pattern("default:bc\u2192bx");
  EXPECT_EQ(big.cause_belief_ids, std::vector<std::string>{"bc"});
  EXPECT_EQ(big.effect_belief_ids, std::vector<std::string>{"bx"});
  EXPECT_EQ(big.cause_record_ids, (std::vector<std::string>{"c1", "c2", "c3"}));
  EXPECT_EQ(big.explicit_support_count, 3u);
  EXPECT_EQ(big.explicit_support_total_for_cause, 5u);
  EXPECT_EQ(big.explicit_effect_variants_for_cause, 2u);
  EXPECT_EQ(big.counterevidence, 2u);
  EXPECT_EQ(big.effect_record_signature_variants, 3u);  // untagged: distinct contents
  // All cause and effect pairs count, not only the linked ones: c2 and c3
  // come after x1, c3 after x2.
  EXPECT_NEAR(big.temporal_consistency, 6.0f / 9.0f, 1e-6);
  const CausalPattern& small = k.pattern("default:bc\u2192by");
  EXPECT_EQ(small.counterevidence, 3u);
  EXPECT_EQ(small.state, CausalState::Rejected);
  EXPECT_EQ(small.temporal_consistency, 1.0f);
  EXPECT_GT(small.causal_strength, 0.5f);  // a rejected pattern keeps its scores
}

TEST(CausalPhase, InvalidatedPatternsSurviveRebuilds) {
  Corpus k = five_with_a_parent(CausalEvidenceMode::ExplicitTrusted);
  k.run();
  const std::string key = "default:orphan:r0\u2192orphan:r4";
  CausalPattern& p = k.engine.patterns.at(k.engine.key_index.at(key));
  p.state = CausalState::Invalidated;
  p.invalidation_reason = "wrong";
  p.invalidated_at = 42.0;
  const std::string id = p.id;

  EXPECT_TRUE(k.run().skipped);  // the corpus has not changed
  k.add("r5", kT0 + 5);          // the key is still produced
  const CausalPhaseReport r = k.run();
  EXPECT_FALSE(r.skipped);
  EXPECT_EQ(r.candidates_found, 15u);
  EXPECT_EQ(r.stable_count, 0u);  // the only stable key is the invalidated one
  const CausalPattern again = k.pattern(key);
  EXPECT_EQ(again.id, id);
  EXPECT_EQ(again.state, CausalState::Invalidated);
  EXPECT_EQ(again.invalidation_reason, "wrong");
  EXPECT_EQ(again.invalidated_at, 42.0);
  EXPECT_EQ(again.causal_strength, 0.0f);
  EXPECT_EQ(again.support_count, 1u);

  // Once the key is gone the invalidated pattern stays as it was.
  k.records["r4"].caused_by_id.reset();
  k.records["r4"].created_at = kT0 + 10 * kWeek;
  k.run();
  ASSERT_TRUE(k.engine.key_index.contains(key));
  EXPECT_EQ(k.pattern(key), again);
  EXPECT_EQ(k.engine.patterns.size(), 11u);  // 10 among r0..r3, r5, plus the invalidated one
}

}  // namespace
}  // namespace vesk
