#include "recall/epistemic_rerank.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vesk {
namespace {

using FactorMap = StringKeyMap<float>;

float belief_factor(const BeliefEngine& beliefs, std::string_view record_id) {
  std::optional<BeliefStateOfRecord> s = belief_state_for_record(beliefs, record_id);
  if (!s || !s->belief) return 1.0f;
  switch (s->belief->state) {
    case BeliefState::Resolved:
      return s->belief->winner_id && *s->belief->winner_id == s->hypothesis->id ? 1.05f : 0.95f;
    case BeliefState::Unresolved:
      return 0.97f;
    case BeliefState::Singleton:
      return 1.02f;
    case BeliefState::Empty:
      return 1.0f;
  }
  return 1.0f;
}

// Keeps the highest factor of a record (at least 1.0).
void raise_to(FactorMap& factors, const std::string& id, float factor) {
  auto [it, inserted] = factors.try_emplace(id, 1.0f);
  if (factor > it->second) it->second = factor;
}

FactorMap concept_factors(const ConceptEngine& concepts) {
  FactorMap factors;
  for (const auto& [id, c] : concepts.concepts) {
    float f = 0.0f;
    if (c.state == ConceptState::Stable)
      f = 1.04f;
    else if (c.state == ConceptState::Candidate && c.abstraction_score >= 0.7f)
      f = 1.02f;
    else
      continue;
    for (const std::string& r : c.record_ids) raise_to(factors, r, f);
  }
  return factors;
}

FactorMap causal_factors(const CausalEngine& causal) {
  FactorMap factors;
  for (const auto& [id, p] : causal.patterns) {
    if (p.state != CausalState::Stable) continue;
    for (const std::string& r : p.effect_record_ids) raise_to(factors, r, 1.03f);
    for (const std::string& r : p.cause_record_ids) raise_to(factors, r, 1.01f);
  }
  return factors;
}

// The factor a hint gives its records, or 0 when it gives none.
float hint_factor(const PolicyHint& h) {
  const bool positive = h.action_kind == PolicyActionKind::Prefer || h.action_kind == PolicyActionKind::Recommend;
  if (h.state == PolicyState::Stable) {
    if (positive) return 1.02f;
    if (h.action_kind == PolicyActionKind::Avoid) return 0.99f;
  } else if (h.state == PolicyState::Candidate && positive && h.policy_strength >= 0.7f) {
    return 1.01f;
  }
  return 0.0f;
}

FactorMap policy_factors(const PolicyEngine& policies) {
  // Hints are visited by id, so a record listed by a raising and a lowering
  // hint ends the same way in every process.
  std::vector<std::pair<const PolicyHint*, float>> hints;
  for (const auto& [id, h] : policies.hints)
    if (float f = hint_factor(h); f > 0.0f) hints.emplace_back(&h, f);
  std::sort(hints.begin(), hints.end(), [](const auto& a, const auto& b) { return a.first->id < b.first->id; });
  FactorMap factors;
  for (const auto& [h, f] : hints) {
    for (const std::string& r : h->supporting_record_ids) {
      auto [it, inserted] = factors.try_emplace(r, 1.0f);
      if (f >= 1.0f ? f > it->second : f < it->second) it->second = f;
    }
  }
  return factors;
}

// Runs a pass from a factor map: nothing when no result is listed.
void map_pass(std::vector<ScoredRecord>& results, const FactorMap& map, float window) {
  std::vector<float> factors(results.size(), 1.0f);
  bool covered = false;
  for (size_t i = 0; i < results.size(); ++i) {
    auto it = map.find(results[i].record.id);
    if (it == map.end()) continue;
    factors[i] = it->second;
    covered = true;
  }
  if (covered) rerank_pass(results, factors, window);
}

// The concept pass from the layer's record index: the same factors as
// concept_factors, looked up per result instead of built per recall.
void concept_index_pass(std::vector<ScoredRecord>& results, const ConceptRecordIndex& index) {
  std::vector<float> factors(results.size(), 1.0f);
  bool covered = false;
  for (size_t i = 0; i < results.size(); ++i) {
    auto it = index.strongest_state.find(results[i].record.id);
    if (it == index.strongest_state.end()) continue;
    factors[i] = it->second == ConceptState::Stable ? 1.04f : 1.02f;
    covered = true;
  }
  if (covered) rerank_pass(results, factors, 0.04f);
}

}  // namespace

void rerank_pass(std::vector<ScoredRecord>& results, const std::vector<float>& factors, float window) {
  const size_t n = results.size();
  for (size_t i = 0; i < n; ++i) {
    const float s = results[i].score;
    if (!std::isfinite(s) || s < 0.0f) continue;  // the window would be empty or undefined
    const float sw = s * window;
    float v = factors[i] * s;
    if (v < s - sw) v = s - sw;
    if (v > s + sw) v = s + sw;
    results[i].score = v;
  }

  // order[p]: the starting position of the result now at position p.
  std::vector<uint64_t> hashes(n);
  for (size_t i = 0; i < n; ++i) hashes[i] = content_hash(results[i].record.content);
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return recall_order_before(results[a].score, hashes[a], results[a].record.id, results[b].score, hashes[b],
                               results[b].record.id);
  });

  // Displacement limit: swap the first result found more than two places
  // from its start one step back, then look again from the top.
  for (size_t swaps = 0; swaps < n; ++swaps) {
    bool swapped = false;
    for (size_t p = 0; p < n && !swapped; ++p) {
      if (p > order[p] + kRerankMaxDisplacement) {
        std::swap(order[p], order[p - 1]);
        swapped = true;
      } else if (order[p] > p + kRerankMaxDisplacement) {
        std::swap(order[p], order[p + 1]);
        swapped = true;
      }
    }
    if (!swapped) break;
  }

  std::vector<ScoredRecord> sorted;
  sorted.reserve(n);
  for (size_t start : order) sorted.push_back(std::move(results[start]));
  results = std::move(sorted);
}

void epistemic_rerank(std::vector<ScoredRecord>& results, size_t top_k, const RerankContext& context) {
  // The passes never change the length, so these guards hold for all four.
  if (results.size() < kRerankMinResults || top_k > kRerankMaxTopK) return;

  if (context.belief_mode == BeliefRerankMode::Limited) {
    std::vector<float> factors(results.size(), 1.0f);
    bool covered = false;
    for (size_t i = 0; i < results.size(); ++i) {
      if (!belief_for_record(context.beliefs, results[i].record.id)) continue;
      covered = true;
      factors[i] = belief_factor(context.beliefs, results[i].record.id);
    }
    if (covered) rerank_pass(results, factors, 0.05f);
  }
  if (context.concept_mode == ConceptSurfaceMode::Limited) {
    if (const ConceptRecordIndex* index = concept_record_index(context.concepts))
      concept_index_pass(results, *index);
    else
      map_pass(results, concept_factors(context.concepts), 0.04f);
  }
  if (context.causal_on) map_pass(results, causal_factors(context.causal), 0.03f);
  if (context.policy_on) map_pass(results, policy_factors(context.policies), 0.02f);
}

void drop_losing_hypotheses(std::vector<ScoredRecord>& results, const BeliefEngine& beliefs) {
  std::erase_if(results, [&](const ScoredRecord& r) {
    std::optional<BeliefStateOfRecord> s = belief_state_for_record(beliefs, r.record.id);
    if (!s || !s->belief || s->belief->state != BeliefState::Resolved) return false;
    return !s->belief->winner_id || *s->belief->winner_id != s->hypothesis->id;
  });
}

}  // namespace vesk
