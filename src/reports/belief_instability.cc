// Belief instability: the summary and the two belief selections.
#include "reports/belief_instability.h"

#include <algorithm>
#include <cmath>

#include "base/merge_sort.h"
#include "reports/contradiction_clusters.h"

namespace vesk {
namespace {

constexpr float kHighVolatility = 0.2f;
constexpr float kMediumVolatility = 0.05f;
constexpr float kLowStability = 1.0f;
constexpr size_t kDefaultLimit = 20;
constexpr size_t kMaxLimit = 100;

size_t list_limit(std::optional<size_t> limit) { return limit ? std::min(*limit, kMaxLimit) : kDefaultLimit; }

// Sorts the selected beliefs (pointers into the layer, so a selection of
// thousands costs no copies) and copies the first `keep`.
template <class Before>
std::vector<Belief> first_sorted(std::vector<const Belief*>& selected, size_t keep, Before before) {
  merge_sort(selected, [&](const Belief* a, const Belief* b) { return before(*a, *b); });
  if (selected.size() > keep) selected.resize(keep);
  std::vector<Belief> out;
  out.reserve(selected.size());
  for (const Belief* b : selected) out.push_back(*b);
  return out;
}

}  // namespace

BeliefInstabilitySummary belief_instability_summary(const RecordMap& records, const BeliefEngine& beliefs) {
  BeliefInstabilitySummary s;
  if (beliefs.beliefs.empty()) return s;
  float volatility_sum = 0.0f, stability_sum = 0.0f;
  for (const auto& [id, b] : beliefs.beliefs) {
    ++s.total_beliefs;
    switch (b.state) {
      case BeliefState::Resolved: ++s.resolved; break;
      case BeliefState::Unresolved: ++s.unresolved; break;
      case BeliefState::Singleton: ++s.singleton; break;
      case BeliefState::Empty: ++s.empty; break;
    }
    if (b.volatility >= kHighVolatility) {
      ++s.volatility_bands.high;
      ++s.high_volatility_count;
    } else if (b.volatility >= kMediumVolatility) {
      ++s.volatility_bands.medium;
    } else {
      ++s.volatility_bands.low;
    }
    if (b.stability <= kLowStability) ++s.low_stability_count;
    volatility_sum += b.volatility;
    stability_sum += b.stability;
  }
  const float n = static_cast<float>(s.total_beliefs);
  s.avg_volatility = volatility_sum / n;
  s.avg_stability = stability_sum / n;
  s.contradiction_cluster_count = contradiction_clusters(records, beliefs, std::nullopt, std::nullopt).size();
  return s;
}

std::vector<Belief> high_volatility_beliefs(const BeliefEngine& beliefs, std::optional<float> min_volatility,
                                            std::optional<size_t> limit) {
  const size_t keep = list_limit(limit);
  // std::clamp keeps a NaN, and no volatility is at least a NaN.
  const float threshold = std::clamp(min_volatility.value_or(kHighVolatility), 0.0f, 1.0f);
  if (keep == 0) return {};
  std::vector<const Belief*> selected;
  for (const auto& [id, b] : beliefs.beliefs)
    if (b.volatility >= threshold) selected.push_back(&b);
  return first_sorted(selected, keep, [](const Belief& a, const Belief& b) {
    if (a.volatility > b.volatility) return true;
    if (b.volatility > a.volatility) return false;
    return a.stability < b.stability;
  });
}

std::vector<Belief> low_stability_beliefs(const BeliefEngine& beliefs, std::optional<float> max_stability,
                                          std::optional<size_t> limit) {
  const size_t keep = list_limit(limit);
  float bound = max_stability.value_or(kLowStability);
  if (std::isnan(bound) || bound < 0.0f) bound = 0.0f;
  if (keep == 0) return {};
  std::vector<const Belief*> selected;
  for (const auto& [id, b] : beliefs.beliefs)
    if (b.stability <= bound) selected.push_back(&b);
  return first_sorted(selected, keep, [](const Belief& a, const Belief& b) {
    if (a.stability < b.stability) return true;
    if (b.stability < a.stability) return false;
    return a.volatility > b.volatility;
  });
}

}  // namespace vesk
