#include "layer_dicts.h"

#include <array>
#include <string_view>

#include "binding/dict_builder.h"

namespace vesk::py {
namespace {

constexpr std::array<std::string_view, 4> kBeliefStates = {"resolved", "unresolved", "singleton", "empty"};
constexpr std::array<std::string_view, 3> kWorldVerdicts = {"confirmed", "refuted", "evidencedebt"};
constexpr std::array<std::string_view, 5> kActionKinds = {"prefer", "recommend", "verify_first", "avoid", "warn"};
constexpr std::array<std::string_view, 4> kPolicyStates = {"candidate", "stable", "suppressed", "rejected"};

}  // namespace

PyObject* belief_dict(const Belief& b) {
  return DictBuilder()
      .add("id", b.id)
      .add("key", b.key)
      .add("state", enum_text(kBeliefStates, b.state))
      .add("winner_id", b.winner_id)
      .add("hypothesis_ids", b.hypothesis_ids)
      .add("score", b.score)
      .add("confidence", b.confidence)
      .add("support_mass", b.support_mass)
      .add("conflict_mass", b.conflict_mass)
      .add("stability", b.stability)
      .add("volatility", b.volatility)
      .add("world_verdict", enum_text(kWorldVerdicts, b.world_verdict))
      .add("should_abstain", b.world_verdict == WorldVerdict::EvidenceDebt)
      .add("last_updated", b.last_updated)
      .finish();
}

PyObject* policy_hint_dict(const PolicyHint& h) {
  return DictBuilder()
      .add("id", h.id)
      .add("key", h.key)
      .add("namespace", h.namespace_)
      .add("domain", h.domain)
      .add("action_kind", enum_text(kActionKinds, h.action_kind))
      .add("recommendation", h.recommendation)
      .add("state", enum_text(kPolicyStates, h.state))
      .add("trigger_causal_ids", h.trigger_causal_ids)
      .add("trigger_concept_ids", h.trigger_concept_ids)
      .add("trigger_belief_ids", h.trigger_belief_ids)
      .add("supporting_record_ids", h.supporting_record_ids)
      .add("cause_record_ids", h.cause_record_ids)
      .add("confidence", h.confidence)
      .add("utility_score", h.utility_score)
      .add("risk_score", h.risk_score)
      .add("policy_strength", h.policy_strength)
      .add("last_updated", h.last_updated)
      .finish();
}

}  // namespace vesk::py
