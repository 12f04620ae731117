// Ranking contradiction clusters for review.
#include "reports/contradiction_review.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "base/merge_sort.h"

namespace vesk {
namespace {

using ClusterIndex = std::unordered_map<std::string_view, size_t>;

// Belief id -> cluster position. A belief belongs to at most one cluster
// (clusters are the connected parts of the unstable beliefs), so the first
// is kept should a list ever repeat one.
ClusterIndex index_members(std::span<const ContradictionCluster> clusters) {
  ClusterIndex index;
  for (size_t i = 0; i < clusters.size(); ++i)
    for (const std::string& id : clusters[i].belief_ids) index.try_emplace(id, i);
  return index;
}

// Adds 1 to every cluster that one of `id_lists` reaches, once per cluster.
template <class... Lists>
void count_once(const ClusterIndex& index, std::vector<uint64_t>& counts, std::vector<size_t>& seen,
                const Lists&... id_lists) {
  seen.clear();
  auto visit = [&](const std::vector<std::string>& ids) {
    for (const std::string& id : ids) {
      auto it = index.find(std::string_view(id));
      if (it == index.end()) continue;
      if (std::find(seen.begin(), seen.end(), it->second) != seen.end()) continue;
      seen.push_back(it->second);
      ++counts[it->second];
    }
  };
  (visit(id_lists), ...);
}

std::string severity_of(float priority) {
  if (priority >= 5.0f) return "high";
  if (priority >= 2.5f) return "medium";
  return "low";
}

}  // namespace

size_t review_queue_limit(std::optional<uint64_t> limit) {
  if (!limit) return kDefaultReviewQueueLimit;
  return static_cast<size_t>(std::min<uint64_t>(*limit, kMaxReviewQueueLimit));
}

std::vector<uint64_t> dependent_causal_patterns(std::span<const ContradictionCluster> clusters,
                                                const CausalEngine& causal) {
  std::vector<uint64_t> counts(clusters.size(), 0);
  if (clusters.empty()) return counts;
  const ClusterIndex index = index_members(clusters);
  std::vector<size_t> seen;
  for (const auto& [id, p] : causal.patterns) {
    if (p.state != CausalState::Candidate && p.state != CausalState::Stable) continue;
    count_once(index, counts, seen, p.cause_belief_ids, p.effect_belief_ids);
  }
  return counts;
}

std::vector<uint64_t> dependent_policy_hints(std::span<const ContradictionCluster> clusters,
                                             const PolicyEngine& policies) {
  std::vector<uint64_t> counts(clusters.size(), 0);
  if (clusters.empty()) return counts;
  const ClusterIndex index = index_members(clusters);
  std::vector<size_t> seen;
  for (const auto& [id, h] : policies.hints) {
    if (h.state == PolicyState::Rejected) continue;
    count_once(index, counts, seen, h.trigger_belief_ids);
  }
  return counts;
}

float contradiction_priority(const ContradictionCluster& c, uint64_t downstream_impact) {
  const float stability = static_cast<float>(c.avg_stability);
  const float volatility = static_cast<float>(c.avg_volatility);
  const float conflict = static_cast<float>(c.total_conflict_mass);
  // fmin passes over a NaN operand, so a NaN stability or conflict mass
  // adds nothing beyond its cap, and a NaN sum ranks at the cap.
  const float instability = 4.0f * volatility + std::fmin(conflict, 2.0f) +
                            0.8f * static_cast<float>(c.unresolved_belief_count) +
                            0.6f * static_cast<float>(c.high_volatility_belief_count);
  const float score = (1.5f - std::fmin(stability, 1.5f)) +
                      (0.9f * static_cast<float>(downstream_impact) + instability);
  return std::fmin(10.0f, score);
}

std::vector<ContradictionReviewItem> contradiction_review_queue(std::vector<ContradictionCluster> clusters,
                                                                std::span<const uint64_t> causal_dependents,
                                                                std::span<const uint64_t> policy_dependents,
                                                                size_t limit) {
  std::vector<ContradictionReviewItem> items;
  items.reserve(clusters.size());
  for (size_t i = 0; i < clusters.size(); ++i) {
    ContradictionCluster& c = clusters[i];
    ContradictionReviewItem item;
    item.dependent_causal_patterns = i < causal_dependents.size() ? causal_dependents[i] : 0;
    item.dependent_policy_hints = i < policy_dependents.size() ? policy_dependents[i] : 0;
    item.downstream_impact = item.dependent_causal_patterns + item.dependent_policy_hints;
    item.priority_score = contradiction_priority(c, item.downstream_impact);
    item.severity = severity_of(item.priority_score);
    item.title = "Review contradiction cluster in " + c.namespace_ + " (" + std::to_string(c.belief_ids.size()) +
                 " beliefs, " + std::to_string(c.record_ids.size()) + " records)";
    item.cluster_id = std::move(c.id);
    item.namespace_ = std::move(c.namespace_);
    item.belief_ids = std::move(c.belief_ids);
    item.belief_keys = std::move(c.belief_keys);
    item.record_ids = std::move(c.record_ids);
    item.shared_tags = std::move(c.shared_tags);
    item.unresolved_belief_count = c.unresolved_belief_count;
    item.high_volatility_belief_count = c.high_volatility_belief_count;
    item.total_conflict_mass = static_cast<float>(c.total_conflict_mass);
    item.avg_volatility = static_cast<float>(c.avg_volatility);
    item.avg_stability = static_cast<float>(c.avg_stability);
    items.push_back(std::move(item));
  }
  merge_sort(items, [](const ContradictionReviewItem& a, const ContradictionReviewItem& b) {
    if (a.priority_score > b.priority_score) return true;
    if (b.priority_score > a.priority_score) return false;
    if (a.downstream_impact != b.downstream_impact) return a.downstream_impact > b.downstream_impact;
    if (a.unresolved_belief_count != b.unresolved_belief_count)
      return a.unresolved_belief_count > b.unresolved_belief_count;
    return a.cluster_id < b.cluster_id;
  });
  if (items.size() > limit) items.resize(limit);
  return items;
}

}  // namespace vesk
