// Corrections of the cognitive layers by hand: deprecating a belief,
// retracting a policy hint, invalidating a causal pattern.
//
// All three follow one frame: the layer's write lock (alone, never a second
// layer lock) from the lookup through the save of the layer file, so no
// report sees a change that is not on disk yet; then, with the lock
// released, the text recall cache and the structured recall cache are
// cleared so no result ranked with the old state is served again; the
// correction entry comes last and its failure is dropped, since the
// correction itself is already durable.
//
// A failed save puts the item back before the lock is released. Leaving the
// change in memory would let reranking and reports use a correction the
// caller was told had failed, and the next unrelated save of the layer would
// carry it to disk without any correction entry.
#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "cognitive/surface_savers.h"
#include "storage/correction_entry.h"
#include "store/vesk.h"

namespace vesk {
namespace {

// The new confidence and score of a deprecated belief, in 32-bit floats:
// confidence halved with a floor of 0.05, the score scaled by the same
// ratio (set to the new confidence when the old one was not positive).
void deprecate(Belief& b, double now) {
  const float old_confidence = b.confidence;
  const float confidence = std::min(1.0f, std::max(0.05f, 0.5f * old_confidence));
  b.score = old_confidence > 0.0f ? b.score * (confidence / old_confidence) : confidence;
  b.confidence = confidence;
  b.state = BeliefState::Unresolved;
  b.winner_id.reset();
  b.stability = 0.0f;
  b.last_updated = now;
}

}  // namespace

Result<bool> Vesk::deprecate_belief(std::string_view belief_id, std::string_view reason) {
  {
    auto beliefs = layers_.beliefs.write();
    auto it = beliefs->beliefs.find(belief_id);
    if (it == beliefs->beliefs.end()) return false;
    const Belief before = it->second;
    deprecate(it->second, env_.now_seconds());
    if (Status saved = save_belief_store(persistence_target_, *beliefs, env_); !saved.ok()) {
      it->second = before;
      return saved.as(ErrorKind::Runtime);
    }
  }
  clear_recall_caches();
  if (audit_) (void)append_correction_entry(*audit_, "belief", belief_id, "deprecate", reason);
  return true;
}

Result<bool> Vesk::retract_policy_hint(std::string_view hint_id, std::string_view reason) {
  {
    auto policies = layers_.policies.write();
    auto it = policies->hints.find(hint_id);
    if (it == policies->hints.end()) return false;
    // The key's entry goes whichever hint it names; both are kept aside
    // whole so a failed save can put them back.
    auto hint = policies->hints.extract(it);
    auto key_entry = policies->key_index.extract(hint.mapped().key);
    if (Status saved = save_policy_store(persistence_target_, *policies, env_); !saved.ok()) {
      if (!key_entry.empty()) policies->key_index.insert(std::move(key_entry));
      policies->hints.insert(std::move(hint));
      return saved.as(ErrorKind::Runtime);
    }
  }
  clear_recall_caches();
  if (audit_) (void)append_correction_entry(*audit_, "policy_hint", hint_id, "retract", reason);
  return true;
}

Result<bool> Vesk::invalidate_causal_pattern(std::string_view pattern_id, std::string_view reason) {
  {
    auto causal = layers_.causal.write();
    auto it = causal->patterns.find(pattern_id);
    if (it == causal->patterns.end()) return false;
    CausalPattern& p = it->second;
    const CausalState state = p.state;
    std::optional<std::string> old_reason = std::move(p.invalidation_reason);
    const std::optional<double> old_at = p.invalidated_at;
    p.state = CausalState::Invalidated;
    p.invalidation_reason = std::string(reason);
    p.invalidated_at = env_.now_seconds();
    if (Status saved = save_causal_store(persistence_target_, *causal, env_); !saved.ok()) {
      p.state = state;
      p.invalidation_reason = std::move(old_reason);
      p.invalidated_at = old_at;
      return saved.as(ErrorKind::Runtime);
    }
    // The index lists patterns of every state, so a change of state leaves
    // it as it is; the rerank reads the state through it.
  }
  clear_recall_caches();
  if (audit_) (void)append_correction_entry(*audit_, "causal_pattern", pattern_id, "invalidate", reason);
  return true;
}

}  // namespace vesk
