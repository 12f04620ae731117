// The foundations the reports stand on: the cognitive read view, the
// snapshot lists of the policy and causal layers, the correction log; the
// policy layer's pressure and lifecycle reports; the contradiction review
// queue and the recently corrected beliefs; the memory health digest.
#include <cstdint>
#include <vector>

#include "reports/contradiction_review.h"
#include "reports/correction_log.h"
#include "reports/memory_health_digest.h"
#include "reports/policy_governance.h"
#include "reports/recently_corrected_beliefs.h"
#include "store/vesk.h"

namespace vesk {

CognitiveReadView Vesk::cognitive_read_view() const {
  return CognitiveReadView(records_.records, layers_.beliefs, layers_.concepts, layers_.causal, layers_.policies,
                           recall_.concept_surface, static_cast<uint8_t>(flags_.concept_surface.load()));
}

std::vector<PolicyHint> Vesk::list_policy_hints() const {
  const CognitiveReadView view = cognitive_read_view();
  std::vector<PolicyHint> out;
  out.reserve(view.policies().hints.size());
  for (const auto& [id, hint] : view.policies().hints) out.push_back(hint);
  return out;
}

std::vector<CausalPattern> Vesk::list_causal_patterns() const {
  const CognitiveReadView view = cognitive_read_view();
  std::vector<CausalPattern> out;
  out.reserve(view.causal().patterns.size());
  for (const auto& [id, pattern] : view.causal().patterns) out.push_back(pattern);
  return out;
}

std::vector<CorrectionLogEntry> Vesk::read_correction_log() const {
  if (!audit_ || !audit_->enabled()) return {};
  return vesk::read_correction_log(env_, audit_->path(), key_.get());
}

std::vector<PolicyPressureArea> Vesk::get_policy_pressure_report(std::optional<std::string_view> namespace_,
                                                                 std::optional<size_t> limit) const {
  const CognitiveReadView view = cognitive_read_view();
  return policy_pressure_report(view.policies(), namespace_, limit);
}

PolicyLifecycleSummary Vesk::get_policy_lifecycle_summary(std::optional<size_t> action_limit,
                                                          std::optional<size_t> domain_limit) const {
  const CognitiveReadView view = cognitive_read_view();
  return policy_lifecycle_summary(view.policies(), action_limit, domain_limit);
}

std::vector<ContradictionReviewItem> Vesk::get_contradiction_review_queue(std::optional<std::string_view> namespace_,
                                                                          std::optional<uint64_t> limit) const {
  const size_t n = review_queue_limit(limit);
  std::vector<ContradictionCluster> clusters = get_contradiction_clusters(namespace_, 3 * n);
  if (clusters.empty()) return {};
  // Counting under each view gives what counting over copies of every
  // pattern and hint would, without the copies.
  std::vector<uint64_t> causal, policy;
  {
    const CognitiveReadView view = cognitive_read_view();
    causal = dependent_causal_patterns(clusters, view.causal());
  }
  {
    const CognitiveReadView view = cognitive_read_view();
    policy = dependent_policy_hints(clusters, view.policies());
  }
  return contradiction_review_queue(std::move(clusters), causal, policy, n);
}

std::vector<Belief> Vesk::get_recently_corrected_beliefs(std::optional<uint64_t> limit) const {
  const size_t n = recently_corrected_limit(limit);
  if (n == 0) return {};
  auto beliefs = layers_.beliefs.read();
  const std::vector<CorrectionLogEntry> log = read_correction_log();
  return recently_corrected_beliefs(log, *beliefs, n);
}

MemoryHealthDigest Vesk::get_memory_health_digest(std::optional<uint64_t> limit) const {
  const size_t n = health_digest_limit(limit);
  MemoryHealthPieces p;
  p.total_records = records_.records.read()->size();
  p.startup_has_recovery_warnings = maintenance_.startup_report.read()->has_recovery_warnings;
  p.salience = get_salience_summary();
  p.instability = get_belief_instability_summary();
  p.reflection = get_reflection_digest(n);
  p.clusters = get_contradiction_clusters(std::nullopt, n);
  p.lifecycle = get_policy_lifecycle_summary(n, n);
  p.pressure = get_policy_pressure_report(std::nullopt, n);
  {
    const MaintenanceTrendSummary trend = maintenance_trend_summary();
    p.trend_direction = maintenance_trend_direction(trend.recent);
    p.latest_dominant_phase = trend.latest_dominant_phase;
  }
  p.corrections = newest_corrections(read_correction_log(), n);
  p.volatile_beliefs = get_high_volatility_beliefs(0.2f, n);
  p.salient_records = get_high_salience_records(0.7f, n);
  return memory_health_digest(p, n);
}

}  // namespace vesk
