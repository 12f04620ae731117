#include "recall/explained_item.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/record_map.h"

namespace vesk {
namespace {

// Layers and records built by hand.
struct World {
  RecordMap records;
  BeliefEngine beliefs;
  ConceptEngine concepts;
  CausalEngine causal;
  PolicyEngine policies;
  std::vector<CorrectionLogEntry> corrections;
  std::vector<ReflectionSummary> reflections;

  Record& add(const std::string& id, std::string content = "", std::string ns = "default") {
    Record r;
    r.id = id;
    r.content = content.empty() ? "content of " + id : std::move(content);
    r.namespace_ = std::move(ns);
    records.insert_or_assign(id, std::move(r));
    return records.at(id);
  }
  // Belief `id` holding `record` in hypothesis `id`-h; the winner is that
  // hypothesis when `wins`, another one ("other") when not, none when unset.
  Belief& belief(const std::string& id, const std::string& record, BeliefState state, std::optional<bool> wins) {
    Belief& b = beliefs.beliefs[id];
    b.id = id;
    b.state = state;
    Hypothesis& h = beliefs.hypotheses[id + "-h"];
    h.id = id + "-h";
    h.belief_id = id;
    h.score = 0.6f;
    beliefs.record_index[record] = h.id;
    if (wins) {
      b.winner_id = *wins ? h.id : "other";
      Hypothesis& o = beliefs.hypotheses["other"];
      o.id = "other";
      o.belief_id = id;
      o.score = 0.9f;
    }
    return b;
  }
  ExplainedRecallItem item(const std::string& id, float score = 0.5f, const CandidateTrace* trace = nullptr) {
    return build_explained_item(1, records.at(id), record_lookup(records), {beliefs, concepts, causal, policies},
                                score, corrections, reflections, trace);
  }
};

TEST(ExplainedItem, ARecordOfNoBeliefHasNoCautionAndNoBeliefLinks) {
  World w;
  w.add("r1");
  w.add("r2");
  w.belief("b2", "r2", BeliefState::Unresolved, std::nullopt);
  // Linked to r2's belief only: nothing reaches r1 through a belief id.
  w.concepts.concepts["c"] = {.id = "c", .belief_ids = {"b2"}};
  w.causal.patterns["p"] = {.id = "p", .effect_belief_ids = {"b2"}};
  w.policies.hints["h"] = {.id = "h", .trigger_belief_ids = {"b2"}};

  const ExplainedRecallItem item = w.item("r1");
  EXPECT_FALSE(item.belief);
  EXPECT_FALSE(item.has_unresolved_evidence);
  EXPECT_FALSE(item.contradiction_dependency);
  EXPECT_FALSE(item.honesty_note);
  EXPECT_FALSE(item.answer_support.uncertainty_phrase);
  EXPECT_FALSE(item.answer_support.contradiction_phrase);
  EXPECT_TRUE(item.concepts.empty());
  EXPECT_TRUE(item.causal_patterns.empty());
  EXPECT_TRUE(item.policy_hints.empty());
  EXPECT_EQ(item.answer_support.recommended_framing, "State the answer directly without anthropomorphic language.");

  // The same links reach r2 through its belief, and its caution names them.
  const ExplainedRecallItem linked = w.item("r2");
  EXPECT_EQ(linked.concepts.size(), 1u);
  EXPECT_EQ(linked.causal_patterns.size(), 1u);
  EXPECT_EQ(linked.policy_hints.size(), 1u);
  EXPECT_EQ(linked.honesty_note, "This recommendation depends on unresolved evidence.");
  EXPECT_EQ(linked.answer_support.uncertainty_phrase, linked.honesty_note);
  EXPECT_EQ(linked.answer_support.recommended_framing,
            "State the useful evidence, then explicitly note uncertainty or conflict.");
}

TEST(ExplainedItem, ASettledBeliefWithConflictIsAContradictionDependency) {
  World w;
  w.add("r1").salience = 0.8f;
  Belief& b = w.belief("b", "r1", BeliefState::Resolved, true);
  b.volatility = 0.1f;
  b.support_mass = 2.0f;
  b.conflict_mass = 0.5f;
  b.confidence = 0.7f;

  const ExplainedRecallItem item = w.item("r1");
  ASSERT_TRUE(item.belief);
  const BeliefSummary& s = *item.belief;
  EXPECT_EQ(s.id, "b");
  EXPECT_EQ(s.state, "resolved");
  EXPECT_EQ(s.hypothesis_id, "b-h");
  EXPECT_EQ(s.winner_hypothesis_id, "b-h");
  EXPECT_EQ(s.winner_score, 0.6f);
  EXPECT_TRUE(s.is_winning_hypothesis);
  EXPECT_EQ(s.confidence, 0.7f);
  EXPECT_FALSE(item.has_unresolved_evidence);
  EXPECT_TRUE(item.contradiction_dependency);
  EXPECT_EQ(item.answer_support.contradiction_phrase,
            "This answer should acknowledge conflicting or unresolved evidence.");
  EXPECT_FALSE(item.honesty_note);
  // Chosen by salience, as no evidence is unresolved.
  EXPECT_EQ(item.answer_support.recommended_framing,
            "State the answer confidently and note that this memory is high-significance.");
}

TEST(ExplainedItem, BeliefSummaryUnresolvedEvidence) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    BeliefState state;
    float volatility, support, conflict;
    bool unresolved;
  } cases[] = {
      {BeliefState::Unresolved, 0.0f, 5.0f, 0.0f, true},
      {BeliefState::Empty, 0.0f, 5.0f, 0.0f, true},
      {BeliefState::Singleton, 0.2f, 5.0f, 0.0f, true},
      {BeliefState::Resolved, 0.19f, 5.0f, 0.0f, false},
      {BeliefState::Resolved, 0.0f, 1.0f, 2.0f, true},
      {BeliefState::Resolved, nan, 2.0f, 1.0f, false},
      {BeliefState::Resolved, nan, 1.0f, 2.0f, true},
  };
  for (const Case& c : cases) {
    World w;
    Belief& b = w.belief("b", "r", c.state, std::nullopt);
    b.volatility = c.volatility;
    b.support_mass = c.support;
    b.conflict_mass = c.conflict;
    std::optional<BeliefSummary> s = explain_belief_summary(w.beliefs, "r");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->has_unresolved_evidence, c.unresolved)
        << static_cast<int>(c.state) << " " << c.volatility << " " << c.support << " " << c.conflict;
  }
  World w;
  w.belief("b", "r", BeliefState::Resolved, false);
  std::optional<BeliefSummary> loser = explain_belief_summary(w.beliefs, "r");
  ASSERT_TRUE(loser);
  EXPECT_FALSE(loser->is_winning_hypothesis);
  EXPECT_EQ(loser->winner_hypothesis_id, "other");
  EXPECT_EQ(loser->winner_score, 0.9f);
  // A winner the hypothesis map lacks has no score; a missing belief, no summary.
  w.beliefs.hypotheses.erase("other");
  EXPECT_EQ(explain_belief_summary(w.beliefs, "r")->winner_score, std::nullopt);
  w.beliefs.beliefs.clear();
  EXPECT_FALSE(explain_belief_summary(w.beliefs, "r"));
  EXPECT_FALSE(explain_belief_summary(w.beliefs, "unknown"));
}

TEST(ExplainedItem, SalienceWording) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    float salience;
    const char* reason;  // null: no metadata key
    std::optional<std::string> explanation;
    const char* framing;
  } cases[] = {
      {0.7f, "the launch deadline", "High-significance memory due to the launch deadline.",
       "State the answer confidently and note that this memory is high-significance."},
      {0.9f, nullptr, "High-significance memory due to elevated salience.",
       "State the answer confidently and note that this memory is high-significance."},
      {0.69f, "ignored", "This memory carries non-zero significance weighting.",
       "State the answer directly without anthropomorphic language."},
      {0.0f, nullptr, std::nullopt, "State the answer directly without anthropomorphic language."},
      {-0.5f, nullptr, std::nullopt, "State the answer directly without anthropomorphic language."},
      {nan, nullptr, std::nullopt, "State the answer directly without anthropomorphic language."},
  };
  for (const Case& c : cases) {
    World w;
    Record& r = w.add("r");
    r.salience = c.salience;
    if (c.reason) r.metadata["salience_reason"] = c.reason;
    const ExplainedRecallItem item = w.item("r");
    EXPECT_EQ(item.salience_explanation, c.explanation) << c.salience;
    EXPECT_EQ(item.answer_support.significance_phrase, c.explanation) << c.salience;
    EXPECT_EQ(item.answer_support.recommended_framing, c.framing) << c.salience;
    // The reason is reported whatever the salience.
    EXPECT_EQ(item.salience_reason, c.reason ? std::optional<std::string>(c.reason) : std::nullopt);
  }
}

TEST(ExplainedItem, ReflectionReferencesAreTheFourSmallestTitlesOnce) {
  World w;
  w.add("r", "", "work");
  auto finding = [](std::string title, std::string ns, std::vector<std::string> related) {
    ReflectionFinding f;
    f.title = std::move(title);
    f.namespace_ = std::move(ns);
    f.related_ids = std::move(related);
    return f;
  };
  // Six matching findings (by namespace or by id) with five titles, and two
  // that match neither.
  w.reflections.push_back({.findings = {finding("echo", "work", {}), finding("alpha", "home", {"r"}),
                                        finding("delta", "work", {})}});
  w.reflections.push_back({.findings = {finding("bravo", "work", {}), finding("alpha", "work", {}),
                                        finding("charlie", "home", {"r", "x"}), finding("aaa", "home", {"x"})}});
  w.reflections.push_back({.findings = {finding("Zulu", "Work", {})}});
  const ExplainedRecallItem item = w.item("r");
  EXPECT_EQ(item.reflection_references, (std::vector<std::string>{"alpha", "bravo", "charlie", "delta"}));
  EXPECT_EQ(item.answer_support.reflection_phrase,
            "Recent reflection findings touching this area: alpha, bravo, charlie, delta.");
  w.reflections.clear();
  EXPECT_FALSE(w.item("r").answer_support.reflection_phrase);
}

TEST(ExplainedItem, LayerReferencesWithTheirStatesAndCorrections) {
  World w;
  w.add("r");
  w.concepts.concepts["c"] = {.id = "c", .key = "ck", .record_ids = {"r"}, .confidence = 0.4f,
                              .state = ConceptState::Stable};
  w.causal.patterns["p"] = {.id = "p", .key = "pk", .cause_record_ids = {"r"}, .causal_strength = 0.3f,
                            .state = CausalState::Invalidated, .invalidation_reason = "refuted",
                            .invalidated_at = 1.5e9};
  w.policies.hints["h"] = {.id = "h", .key = "hk", .action_kind = PolicyActionKind::VerifyFirst,
                           .supporting_record_ids = {"r"}, .policy_strength = 0.8f, .state = PolicyState::Suppressed};
  auto correction = [](std::string kind, std::string target, std::string op) {
    return CorrectionLogEntry{.timestamp = 1, .target_kind = std::move(kind), .target_id = std::move(target),
                              .operation = std::move(op)};
  };
  w.corrections = {correction("causal_pattern", "p", "invalidate"), correction("policy_hint", "p", "deprecate"),
                   correction("causal_pattern", "q", "retract"), correction("causal_pattern", "p", "retract")};

  const ExplainedRecallItem item = w.item("r");
  ASSERT_EQ(item.concepts.size(), 1u);
  EXPECT_EQ(item.concepts[0], (ConceptReference{"c", "ck", "stable", 0.4f}));
  ASSERT_EQ(item.causal_patterns.size(), 1u);
  const CausalReference& p = item.causal_patterns[0];
  EXPECT_EQ(p.state, "invalidated");
  EXPECT_EQ(p.invalidation_reason, "refuted");
  EXPECT_EQ(p.invalidated_at, 1.5e9);
  ASSERT_EQ(p.corrections.size(), 2u);
  EXPECT_EQ(p.corrections[0].operation, "invalidate");
  EXPECT_EQ(p.corrections[1].operation, "retract");
  ASSERT_EQ(item.policy_hints.size(), 1u);
  EXPECT_EQ(item.policy_hints[0], (PolicyReference{"h", "hk", "suppressed", "verifyfirst", 0.8f}));
  // No unresolved evidence: hints alone raise no caution.
  EXPECT_FALSE(item.honesty_note);
}

TEST(ExplainedItem, PreviewsCountCharactersAndTheCauseNeedsNoTest) {
  World w;
  std::string accented;
  for (int i = 0; i < 200; ++i) accented += "\xC3\xA9";  // é
  w.add("cause", accented, "elsewhere").metadata["acl_visibility"] = "restricted";
  w.add("r", accented).caused_by_id = "cause";
  w.add("orphan").caused_by_id = "gone";

  const ExplainedRecallItem item = w.item("r");
  EXPECT_EQ(item.content_preview, accented.substr(0, 2 * 160));
  EXPECT_EQ(item.because_record_id, "cause");
  EXPECT_EQ(item.because_preview, accented.substr(0, 2 * 120));
  const ExplainedRecallItem orphan = w.item("orphan");
  EXPECT_EQ(orphan.because_record_id, "gone");
  EXPECT_FALSE(orphan.because_preview);
  EXPECT_EQ(orphan.content_preview, "content of orphan");
}

TEST(ExplainedItem, ScoreTraceWithAndWithoutACandidateTrace) {
  World w;
  w.add("r");
  const ExplainedRecallItem bare = w.item("r", 0.42f);
  const ScoreTrace& t = bare.trace;
  EXPECT_FALSE(t.sdr || t.bm25 || t.ngram || t.tags || t.embedding);
  for (float v : {t.rrf_score, t.graph_score, t.causal_score, t.pre_trust_score, t.trust_multiplier,
                  t.pre_rerank_score}) {
    EXPECT_EQ(v, 0.0f);
  }
  EXPECT_EQ(t.rerank_delta, 0.42f);
  EXPECT_EQ(t.final_score, 0.42f);

  CandidateTrace c;
  c.record_id = "r";
  c.bm25 = SignalContribution{.raw_score = 3.5f, .rank = 2, .rrf_share = 0.25f};
  c.rrf_score = 0.25f;
  c.graph_score = 0.1f;
  c.pre_trust_score = 0.25f;
  c.trust_multiplier = 0.5f;
  c.final_score = 0.125f;
  const ScoreTrace traced = w.item("r", 0.25f, &c).trace;
  EXPECT_EQ(traced.bm25, c.bm25);
  EXPECT_FALSE(traced.sdr);
  EXPECT_EQ(traced.graph_score, 0.1f);
  EXPECT_EQ(traced.trust_multiplier, 0.5f);
  EXPECT_EQ(traced.pre_rerank_score, 0.125f);
  EXPECT_EQ(traced.rerank_delta, 0.125f);
  EXPECT_EQ(traced.final_score, 0.25f);
}

TEST(ExplainedItem, CautionNotesAndModeNames) {
  EXPECT_EQ(caution_note(true, true), "This recommendation depends on unresolved evidence.");
  EXPECT_EQ(caution_note(false, true), "This memory is linked to unstable or conflicting evidence.");
  EXPECT_FALSE(caution_note(true, false));
  const std::string phrase = "This answer should acknowledge conflicting or unresolved evidence.";
  EXPECT_EQ(answer_caution_note(true, 0.0f), phrase);
  EXPECT_EQ(answer_caution_note(false, 0.1f), phrase);
  EXPECT_FALSE(answer_caution_note(false, 0.0f));
  EXPECT_FALSE(answer_caution_note(false, std::numeric_limits<float>::quiet_NaN()));
  EXPECT_EQ(surface_mode_name(false), "Off");
  EXPECT_EQ(surface_mode_name(true), "Limited");
}

}  // namespace
}  // namespace vesk
