// The belief layer's questions and settings on the store object, and the
// state filter of its listings.
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

std::optional<std::string> Vesk::belief_id_for_record(std::string_view record_id) const {
  const CognitiveReadView view = cognitive_read_view();
  const Belief* belief = belief_for_record(view.beliefs(), record_id);
  if (!belief) return std::nullopt;
  return belief->id;
}

std::vector<Belief> Vesk::list_beliefs_by_state(std::optional<std::string_view> state) const {
  const CognitiveReadView view = cognitive_read_view();
  std::vector<Belief> out;
  for (const auto& [id, belief] : view.beliefs().beliefs)
    if (filter_beliefs_by_state(belief, state)) out.push_back(belief);
  return out;
}

void Vesk::set_embedding_claim_threshold(std::optional<float> threshold) {
  layers_.beliefs.write()->embedding_similarity_override = threshold;
}

std::vector<ContradictionCluster> Vesk::get_contradiction_clusters(std::optional<std::string_view> namespace_,
                                                                   std::optional<size_t> limit) const {
  const CognitiveReadView view = cognitive_read_view();
  return contradiction_clusters(view.records(), view.beliefs(), namespace_, limit);
}

}  // namespace vesk
