// The dicts of score traces, explained items, provenance chains and
// correction suggestions.
#include "explanation_dicts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/embedded_python.h"

namespace vesk::py {
namespace {

class ExplanationDictsTest : public EmbeddedPython {};

TEST_F(ExplanationDictsTest, TraceOfATextOnlyCandidate) {
  ScoreTrace t;
  t.bm25 = SignalContribution{.raw_score = 2.5f, .rank = 0, .rrf_share = 0.5f};
  t.ngram = SignalContribution{.raw_score = 0.25f, .rank = 3, .rrf_share = 0.1f};
  t.rrf_score = 0.6f;
  t.trust_multiplier = 1.0f;
  t.final_score = 0.9f;
  bind("t", score_trace_dict(t));
  EXPECT_EQ(eval("list(t)"),
            "['sdr', 'bm25', 'ngram', 'tags', 'embedding', 'rrf_score', 'graph_score', 'causal_score', "
            "'pre_trust_score', 'trust_multiplier', 'pre_rerank_score', 'rerank_delta', 'final_score']");
  EXPECT_EQ(eval("(t['sdr'], t['tags'], t['embedding'])"), "(None, None, None)");
  EXPECT_EQ(eval("t['bm25']"), "{'raw_score': 2.5, 'rank': 0, 'rrf_share': 0.5}");
  EXPECT_EQ(eval("(t['ngram']['rank'], t['final_score'], t['graph_score'])"), "(3, 0.8999999761581421, 0.0)");
}

ExplainedRecallItem full_item() {
  ExplainedRecallItem i;
  i.rank = 2;
  i.record_id = "r1";
  i.score = 0.5f;
  i.namespace_ = "default";
  i.salience = 0.9f;
  i.salience_reason = "deadline";
  i.content_preview = "ship on monday";
  i.reflection_references = {"Stuck"};
  i.answer_support.recommended_framing = "State it.";
  i.belief = BeliefSummary{.id = "b1", .state = "resolved", .hypothesis_id = "h1", .confidence = 0.9f};
  i.concepts = {{"c1", "k", "stable", 0.75f}};
  CorrectionLogEntry fix{5, "t", "causal_pattern", "p1", "invalidate", "wrong", "s"};
  i.causal_patterns = {{"p1", "k", "invalidated", 0.5f, "wrong", 99.5, {fix}}};
  i.policy_hints = {{"h1", "k", "stable", "verifyfirst", 0.25f}};
  return i;
}

TEST_F(ExplanationDictsTest, ExplainedItemKeysAndNestedRows) {
  bind("i", explained_item_dict(full_item()));
  EXPECT_EQ(eval("list(i)"),
            "['rank', 'record_id', 'score', 'namespace', 'salience', 'salience_reason', 'salience_explanation', "
            "'content_preview', 'because_record_id', 'because_preview', 'has_unresolved_evidence', 'honesty_note', "
            "'contradiction_dependency', 'reflection_references', 'answer_support', 'belief', 'concepts', "
            "'causal_patterns', 'policy_hints', 'trace']");
  EXPECT_EQ(eval("i['answer_support']"),
            "{'significance_phrase': None, 'uncertainty_phrase': None, 'contradiction_phrase': None, "
            "'reflection_phrase': None, 'recommended_framing': 'State it.'}");
  EXPECT_EQ(eval("list(i['belief'])"),
            "['id', 'state', 'hypothesis_id', 'winner_hypothesis_id', 'hypothesis_score', 'winner_score', "
            "'is_winning_hypothesis', 'confidence', 'support_mass', 'conflict_mass', 'stability', 'volatility', "
            "'has_unresolved_evidence']");
  EXPECT_EQ(eval("(i['belief']['winner_score'], i['belief']['confidence'], i['salience'])"),
            "(None, 0.8999999761581421, 0.8999999761581421)");
  EXPECT_EQ(eval("i['concepts']"), "[{'id': 'c1', 'key': 'k', 'state': 'stable', 'confidence': 0.75}]");
  EXPECT_EQ(eval("[list(p) for p in i['causal_patterns']]"),
            "[['id', 'key', 'state', 'causal_strength', 'invalidation_reason', 'invalidated_at', 'corrections']]");
  EXPECT_EQ(eval("(i['causal_patterns'][0]['invalidated_at'], i['causal_patterns'][0]['corrections'][0]['reason'])"),
            "(99.5, 'wrong')");
  EXPECT_EQ(eval("i['policy_hints']"),
            "[{'id': 'h1', 'key': 'k', 'state': 'stable', 'action_kind': 'verifyfirst', 'policy_strength': 0.25}]");

  ExplainedRecallItem bare;
  bind("bare", explained_item_dict(bare));
  EXPECT_EQ(eval("(bare['belief'], bare['concepts'], bare['causal_patterns'], bare['policy_hints'])"),
            "(None, [], [], [])");
}

TEST_F(ExplanationDictsTest, ProvenanceChainDetailsFromTheChainAlone) {
  const std::string direct = "State the answer directly without anthropomorphic language.";
  const std::string careful = "State the useful evidence, then explicitly note uncertainty or conflict.";
  const std::string depends = "This recommendation depends on unresolved evidence.";
  const std::string unstable = "This memory is linked to unstable or conflicting evidence.";
  const std::string acknowledge = "This answer should acknowledge conflicting or unresolved evidence.";
  auto text = [](const std::string& s) { return s.empty() ? std::string("None") : "'" + s + "'"; };
  struct Case {
    std::string name;
    std::optional<BeliefSummary> belief;
    bool policy_hint;
    bool unresolved, dependency;
    std::string honesty, contradiction, framing;
  };
  const std::vector<Case> cases = {
      {"no belief", std::nullopt, true, false, false, "", "", direct},
      {"settled belief", BeliefSummary{.id = "b"}, true, false, false, "", "", direct},
      {"unresolved with a policy hint", BeliefSummary{.id = "b", .has_unresolved_evidence = true}, true, true, true,
       depends, acknowledge, careful},
      {"unresolved without a hint", BeliefSummary{.id = "b", .has_unresolved_evidence = true}, false, true, true,
       unstable, acknowledge, careful},
      {"conflict only", BeliefSummary{.id = "b", .conflict_mass = 0.5f}, true, false, true, "", acknowledge, direct},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProvenanceChain chain;
    chain.record_id = "r1";
    chain.namespace_ = "default";
    chain.content_preview = "preview";
    chain.build_latency_ms = 0.125;
    chain.because_record_id = "r0";
    chain.narrative = "r1 was caused by r0";
    chain.steps = {"record", "cause"};
    chain.belief = c.belief;
    if (c.policy_hint) chain.policy_hints = {{"h1", "k", "stable", "avoid", 0.5f}};
    bind("c", provenance_chain_dict(chain));
    EXPECT_EQ(eval("list(c)"),
              "['record_id', 'namespace', 'content_preview', 'build_latency_ms', 'because_record_id', "
              "'because_preview', 'narrative', 'steps', 'details']");
    EXPECT_EQ(eval("(c['build_latency_ms'], c['because_preview'], c['steps'])"),
              "(0.125, None, ['record', 'cause'])");
    ASSERT_EQ(run("d = c['details']"), "");
    EXPECT_EQ(eval("(d['rank'], d['record_id'], d['namespace'], d['score'], d['salience'], d['content_preview'], "
                   "d['because_record_id'], d['salience_reason'], d['salience_explanation'], "
                   "d['reflection_references'])"),
              "(1, 'r1', 'default', 0.0, 0.0, 'preview', 'r0', None, None, [])");
    EXPECT_EQ(eval("(d['has_unresolved_evidence'], d['contradiction_dependency'])"),
              std::string("(") + (c.unresolved ? "True" : "False") + ", " + (c.dependency ? "True" : "False") + ")");
    EXPECT_EQ(eval("d['honesty_note']"), text(c.honesty));
    EXPECT_EQ(eval("d['answer_support']"),
              "{'significance_phrase': None, 'uncertainty_phrase': " + text(c.honesty) +
                  ", 'contradiction_phrase': " + text(c.contradiction) +
                  ", 'reflection_phrase': None, 'recommended_framing': " + text(c.framing) + "}");
    EXPECT_EQ(eval("(d['belief'] is None, len(d['policy_hints']))"),
              std::string("(") + (c.belief ? "False" : "True") + ", " + (c.policy_hint ? "1" : "0") + ")");
    EXPECT_EQ(eval("d['trace']"),
              "{'sdr': None, 'bm25': None, 'ngram': None, 'tags': None, 'embedding': None, 'rrf_score': 0.0, "
              "'graph_score': 0.0, 'causal_score': 0.0, 'pre_trust_score': 0.0, 'trust_multiplier': 0.0, "
              "'pre_rerank_score': 0.0, 'rerank_delta': 0.0, 'final_score': 0.0}");
  }
}

TEST_F(ExplanationDictsTest, SuggestionsWithAndWithoutProvenance) {
  ProvenanceChain chain;
  chain.record_id = "r2";
  std::vector<CorrectionSuggestion> list = {
      {"belief", "b1", "default", "instability", "review", "volatile", 0.9f, "high", std::nullopt, std::nullopt},
      {"record", "r2", "default", "stale", "retract", "old", 0.5f, "low", "r2", chain},
  };
  bind("s", correction_suggestion_list(list));
  EXPECT_EQ(eval("list(s[0])"),
            "['target_kind', 'target_id', 'namespace', 'reason_kind', 'suggested_action', 'reason_detail', "
            "'priority_score', 'severity', 'supporting_record_id', 'provenance']");
  EXPECT_EQ(eval("(s[0]['priority_score'], s[0]['supporting_record_id'], s[0]['provenance'])"),
            "(0.8999999761581421, None, None)");
  EXPECT_EQ(eval("(s[1]['supporting_record_id'], s[1]['provenance']['record_id'], "
                 "s[1]['provenance']['details']['record_id'])"),
            "('r2', 'r2', 'r2')");
}

}  // namespace
}  // namespace vesk::py
