#include "store/belief_queries.h"

#include "reports/contradiction_clusters.h"
#include "store/vesk.h"

namespace vesk {

bool filter_beliefs_by_state(const Belief& belief, std::optional<std::string_view> state) {
  if (!state) return true;
  if (*state == "resolved") return belief.state == BeliefState::Resolved;
  if (*state == "unresolved") return belief.state == BeliefState::Unresolved;
  if (*state == "singleton") return belief.state == BeliefState::Singleton;
  if (*state == "empty") return belief.state == BeliefState::Empty;
  return true;
}

std::optional<std::string> belief_id_for_record(const Vesk& store, std::string_view record_id) {
  const CognitiveReadView view = store.cognitive_read_view();
  const Belief* belief = belief_for_record(view.beliefs(), record_id);
  if (!belief) return std::nullopt;
  return belief->id;
}

std::vector<Belief> list_beliefs_by_state(const Vesk& store, std::optional<std::string_view> state) {
  const CognitiveReadView view = store.cognitive_read_view();
  std::vector<Belief> out;
  for (const auto& [id, belief] : view.beliefs().beliefs)
    if (filter_beliefs_by_state(belief, state)) out.push_back(belief);
  return out;
}

void set_embedding_claim_threshold(Vesk& store, std::optional<float> threshold) {
  // The store hands its parts out read-only; it is not const here, so its
  // belief layer may be written, under the layer's own write lock.
  auto& layers = const_cast<CognitiveLayers&>(store.layers());
  layers.beliefs.write()->embedding_similarity_override = threshold;
}

std::vector<ContradictionCluster> get_contradiction_clusters(const Vesk& store,
                                                             std::optional<std::string_view> namespace_,
                                                             std::optional<size_t> limit) {
  const CognitiveReadView view = store.cognitive_read_view();
  return contradiction_clusters(view.records(), view.beliefs(), namespace_, limit);
}

}  // namespace vesk
