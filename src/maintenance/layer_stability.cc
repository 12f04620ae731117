#include "maintenance/layer_stability.h"

#include <array>
#include <cstdint>
#include <utility>

namespace vesk {
namespace {

StringSet key_set(const StringMap& key_index) {
  StringSet out;
  out.reserve(key_index.size());
  for (const auto& [key, id] : key_index) out.insert(key);
  return out;
}

// Ids in both sets, counted by walking the smaller one.
uint64_t shared_count(const StringSet& a, const StringSet& b) {
  const StringSet& small = a.size() <= b.size() ? a : b;
  const StringSet& large = a.size() <= b.size() ? b : a;
  uint64_t n = 0;
  for (const std::string& id : small) n += large.contains(id) ? 1 : 0;
  return n;
}

struct LayerCounts {
  uint64_t retained = 0;
  uint64_t fresh = 0;
  uint64_t dropped = 0;
  double churn = 0.0;
};

LayerCounts counts(uint64_t current, uint64_t previous, uint64_t retained) {
  LayerCounts c;
  c.retained = retained;
  c.fresh = current - retained;
  c.dropped = previous - retained;
  const float divisor = static_cast<float>(current > 0 ? current : 1);
  c.churn = static_cast<float>(c.fresh + c.dropped) / divisor;
  return c;
}

}  // namespace

LayerStability measure_layer_stability(const BeliefEngine& beliefs, const ConceptEngine& concepts,
                                       const CausalEngine& causal, const PolicyEngine& policies,
                                       PreviousLayerIds previous) {
  std::array<StringSet, 4> current = {key_set(beliefs.key_index), key_set(concepts.key_index),
                                      key_set(causal.key_index), key_set(policies.key_index)};
  const std::array<Guarded<StringSet>*, 4> prev = {&previous.beliefs, &previous.concepts, &previous.causal,
                                                   &previous.policies};
  std::array<LayerCounts, 4> c;
  {
    auto b = prev[0]->read();
    auto k = prev[1]->read();
    auto ca = prev[2]->read();
    auto p = prev[3]->read();
    const std::array<const StringSet*, 4> held = {b.get(), k.get(), ca.get(), p.get()};
    for (size_t i = 0; i < 4; ++i)
      c[i] = counts(current[i].size(), held[i]->size(), shared_count(current[i], *held[i]));
  }
  for (size_t i = 0; i < 4; ++i) prev[i]->set(std::move(current[i]));

  LayerStability out;
  out.belief_retained = c[0].retained;
  out.belief_new = c[0].fresh;
  out.belief_dropped = c[0].dropped;
  out.belief_churn = c[0].churn;
  out.concept_retained = c[1].retained;
  out.concept_new = c[1].fresh;
  out.concept_dropped = c[1].dropped;
  out.concept_churn = c[1].churn;
  out.causal_retained = c[2].retained;
  out.causal_new = c[2].fresh;
  out.causal_dropped = c[2].dropped;
  out.causal_churn = c[2].churn;
  out.policy_retained = c[3].retained;
  out.policy_new = c[3].fresh;
  out.policy_dropped = c[3].dropped;
  out.policy_churn = c[3].churn;
  return out;
}

}  // namespace vesk
