#include "maintenance/belief_feedback.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/string_hash.h"
#include "cognitive/causal_store_format.h"
#include "cognitive/policy_store_format.h"
#include "model/unicode_case.h"

namespace vesk {
namespace {

constexpr float kEpsilon = std::numeric_limits<float>::epsilon();  // 2^-23

struct FeedbackCandidate {
  std::string_view source_kind;  // "policy" or "causal"
  const std::string* source_id;  // the hint's or pattern's id, alive for the step
  std::string reason;
  float confidence_delta = 0.0f;
  float volatility_delta = 0.0f;
};

// Keyed by the belief's entry, found once when its first candidate comes: a
// belief that does not exist gathers nothing, which is what the step does
// with the candidates of a missing belief.
using BeliefEntry = StringKeyMap<Belief>::value_type;
using CandidateMap = std::unordered_map<BeliefEntry*, std::vector<FeedbackCandidate>>;

class CandidateSink {
 public:
  CandidateSink(BeliefEngine& beliefs, CandidateMap& out) : beliefs_(beliefs), out_(out) {}
  void add(const std::string& belief_id, FeedbackCandidate candidate) {
    auto it = beliefs_.beliefs.find(belief_id);
    if (it == beliefs_.beliefs.end()) return;
    out_[&*it].push_back(std::move(candidate));
  }

 private:
  BeliefEngine& beliefs_;
  CandidateMap& out_;
};

float action_weight(PolicyActionKind kind) {
  switch (kind) {
    case PolicyActionKind::Prefer: return 0.05f;
    case PolicyActionKind::Recommend: return 0.03f;
    case PolicyActionKind::VerifyFirst: return -0.06f;
    case PolicyActionKind::Avoid: return -0.10f;
    case PolicyActionKind::Warn: return -0.03f;
  }
  return 0.0f;
}

// std::clamp lets a NaN through, as the step must.
float bound(float value, float lo, float hi) { return std::clamp(value, lo, hi); }

void add_hint_candidates(const PolicyEngine& policies, CandidateSink& out) {
  for (const auto& [id, hint] : policies.hints) {
    if (hint.state == PolicyState::Suppressed || hint.state == PolicyState::Rejected) continue;
    if (hint.trigger_belief_ids.empty()) continue;
    const float factor = hint.state == PolicyState::Candidate ? 0.6f : 1.0f;
    const float s = std::fmax(hint.policy_strength, 0.0f);
    const float c = factor * s * action_weight(hint.action_kind);
    const float v = c < 0.0f ? s * 0.01f : s * -0.005f;
    std::string reason = unicode_lower(std::string(kPolicyStateNames[static_cast<size_t>(hint.state)]) + ":" +
                                       std::string(kPolicyActionKindNames[static_cast<size_t>(hint.action_kind)]));
    for (const std::string& belief_id : hint.trigger_belief_ids) {
      out.add(belief_id, {"policy", &hint.id, reason, c, v});
    }
  }
}

void add_pattern_candidates(const CausalEngine& causal, CandidateSink& out) {
  for (const auto& [id, pattern] : causal.patterns) {
    float c = 0.0f;
    float v = 0.0f;
    std::string reason;
    switch (pattern.state) {
      case CausalState::Candidate: {
        const float s = std::fmax(pattern.causal_strength, 0.0f);
        c = 0.015f * s;
        v = -0.01f * s;
        reason = "candidate_pattern";
        break;
      }
      case CausalState::Stable: {
        const float s = std::fmax(pattern.causal_strength, 0.0f);
        c = 0.03f * s;
        v = -0.02f * s;
        reason = "stable_pattern";
        break;
      }
      case CausalState::Rejected: {
        const uint64_t all = std::max<uint64_t>(pattern.support_count + pattern.counterevidence, 1);
        const float r = std::min(static_cast<float>(pattern.counterevidence) / static_cast<float>(all), 1.0f);
        c = -(0.02f + 0.04f * r);
        v = 0.03f + 0.12f * r;
        reason = "rejected_pattern:counterevidence=" + std::to_string(pattern.counterevidence);
        break;
      }
      case CausalState::Invalidated:
        continue;
    }
    std::vector<const std::string*> targets;
    for (const std::string& cause : pattern.cause_belief_ids) targets.push_back(&cause);
    for (const std::string& effect : pattern.effect_belief_ids) {
      if (std::none_of(targets.begin(), targets.end(), [&](const std::string* t) { return *t == effect; })) {
        targets.push_back(&effect);
      }
    }
    for (const std::string* belief_id : targets) out.add(*belief_id, {"causal", &pattern.id, reason, c, v});
  }
}

}  // namespace

FeedbackAuditReport feed_back_into_beliefs(BeliefEngine& beliefs, const CausalEngine& causal,
                                           const PolicyEngine& policies, Env& env) {
  CandidateMap candidates;
  candidates.reserve(std::min(beliefs.beliefs.size(), 2 * (causal.patterns.size() + policies.hints.size())));
  CandidateSink sink(beliefs, candidates);
  add_hint_candidates(policies, sink);
  add_pattern_candidates(causal, sink);

  // One reading of the clock for the whole step.
  const double now = env.now_seconds();
  FeedbackAuditReport report;
  float net_confidence = 0.0f;
  float net_volatility = 0.0f;
  for (const auto& [entry, list] : candidates) {
    const std::string& belief_id = entry->first;
    Belief& belief = entry->second;
    float sum_c = 0.0f;
    float sum_v = 0.0f;
    for (const FeedbackCandidate& cand : list) {
      sum_c += cand.confidence_delta;
      sum_v += cand.volatility_delta;
    }

    const float old_confidence = belief.confidence;
    const float old_volatility = belief.volatility;
    const float new_confidence = bound(old_confidence + bound(sum_c, -0.18f, 0.08f), 0.05f, 1.0f);
    const float new_volatility = bound(old_volatility + bound(sum_v, -0.06f, 0.20f), 0.0f, 1.0f);
    const float applied_c = new_confidence - old_confidence;
    const float applied_v = new_volatility - old_volatility;
    if (std::fabs(applied_c) < kEpsilon && std::fabs(applied_v) < kEpsilon) continue;

    belief.score = old_confidence > 0.0f ? belief.score * new_confidence / old_confidence : new_confidence;
    belief.confidence = new_confidence;
    belief.volatility = new_volatility;
    belief.last_updated = now;

    ++report.beliefs_touched;
    net_confidence += applied_c;
    net_volatility += applied_v;
    if (applied_c > 0.0f) {
      ++report.beliefs_boosted;
    } else {
      ++report.beliefs_dampened;
    }
    for (const FeedbackCandidate& cand : list) {
      FeedbackAuditEntry& e = report.entries.emplace_back();
      e.belief_id = belief_id;
      e.source_kind = std::string(cand.source_kind);
      e.source_id = *cand.source_id;
      e.reason = cand.reason;
      e.delta_requested = cand.confidence_delta;
      e.delta_applied = std::fabs(sum_c) > kEpsilon ? cand.confidence_delta / sum_c * applied_c : 0.0f;
      e.confidence_before = old_confidence;
      e.confidence_after = new_confidence;
      e.volatility_before = old_volatility;
      e.volatility_after = new_volatility;
      e.volatility_delta_applied = std::fabs(sum_v) > kEpsilon ? cand.volatility_delta / sum_v * applied_v : 0.0f;
      e.stability_before = belief.stability;
      e.stability_after = belief.stability;
      e.stability_delta_applied = 0.0;
    }
  }
  report.net_confidence_delta = net_confidence;
  report.net_volatility_delta = net_volatility;
  return report;
}

}  // namespace vesk
