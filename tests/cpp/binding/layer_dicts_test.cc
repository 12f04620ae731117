// The dicts of beliefs and policy hints.
#include "layer_dicts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/embedded_python.h"

namespace vesk::py {
namespace {

class LayerDictsTest : public EmbeddedPython {};

Belief sample_belief() {
  Belief b;
  b.id = "b1";
  b.key = "coffee";
  b.hypothesis_ids = {"h1", "h2"};
  b.state = BeliefState::Unresolved;
  b.score = 0.5f;
  b.confidence = 0.9f;
  b.support_mass = 2.0f;
  b.conflict_mass = 1.0f;
  b.stability = 0.25f;
  b.volatility = 0.1f;
  b.last_updated = 1700000000.5;
  return b;
}

TEST_F(LayerDictsTest, BeliefDictKeysValuesAndOrder) {
  bind("b", belief_dict(sample_belief()));
  EXPECT_EQ(eval("list(b)"),
            "['id', 'key', 'state', 'winner_id', 'hypothesis_ids', 'score', 'confidence', 'support_mass', "
            "'conflict_mass', 'stability', 'volatility', 'world_verdict', 'should_abstain', 'last_updated']");
  EXPECT_EQ(eval("(b['state'], b['winner_id'], b['hypothesis_ids'], b['confidence'], b['last_updated'])"),
            "('unresolved', None, ['h1', 'h2'], 0.8999999761581421, 1700000000.5)");
}

TEST_F(LayerDictsTest, WorldVerdictDecidesShouldAbstain) {
  struct Case {
    WorldVerdict verdict;
    std::string text;
  };
  for (const Case& c : std::vector<Case>{{WorldVerdict::Confirmed, "('confirmed', False)"},
                                         {WorldVerdict::Refuted, "('refuted', False)"},
                                         {WorldVerdict::EvidenceDebt, "('evidencedebt', True)"}}) {
    Belief b = sample_belief();
    b.world_verdict = c.verdict;
    b.state = BeliefState::Singleton;
    b.winner_id = "h1";
    bind("b", belief_dict(b));
    EXPECT_EQ(eval("(b['world_verdict'], b['should_abstain'])"), c.text);
    EXPECT_EQ(eval("(b['state'], b['winner_id'])"), "('singleton', 'h1')");
  }
}

TEST_F(LayerDictsTest, PolicyHintDictKeysValuesAndOrder) {
  PolicyHint h;
  h.id = "p1";
  h.key = "deploy";
  h.namespace_ = "ops";
  h.domain = "release";
  h.action_kind = PolicyActionKind::VerifyFirst;
  h.recommendation = "run the tests";
  h.state = PolicyState::Suppressed;
  h.trigger_causal_ids = {"c1"};
  h.supporting_record_ids = {"r1", "r2"};
  h.confidence = 0.9f;
  h.policy_strength = 0.3f;
  h.last_updated = 2.5;
  h.evidence_source_floor = "inferred";
  bind("h", policy_hint_dict(h));
  EXPECT_EQ(eval("list(h)"),
            "['id', 'key', 'namespace', 'domain', 'action_kind', 'recommendation', 'state', 'trigger_causal_ids', "
            "'trigger_concept_ids', 'trigger_belief_ids', 'supporting_record_ids', 'cause_record_ids', 'confidence', "
            "'utility_score', 'risk_score', 'policy_strength', 'last_updated']");
  EXPECT_EQ(eval("(h['action_kind'], h['state'], h['trigger_causal_ids'], h['trigger_concept_ids'], "
                 "h['confidence'], h['policy_strength'], h['last_updated'])"),
            "('verify_first', 'suppressed', ['c1'], [], 0.8999999761581421, 0.30000001192092896, 2.5)");
}

}  // namespace
}  // namespace vesk::py
