// The contradiction review queue, as a list of dicts with the keys in this
// order: cluster_id namespace title belief_ids belief_keys record_ids
// shared_tags unresolved_belief_count high_volatility_belief_count
// dependent_causal_patterns dependent_policy_hints downstream_impact
// total_conflict_mass avg_volatility avg_stability priority_score severity.
// It keeps the interpreter lock: the clusters are at most 100.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "binding/dict_builder.h"
#include "value_classes.h"
#include "vesk_object.h"

namespace vesk::py {

template <>
struct ToPy<ContradictionReviewItem> {
  static PyObject* convert(const ContradictionReviewItem& i) {
    return DictBuilder()
        .add("cluster_id", i.cluster_id)
        .add("namespace", i.namespace_)
        .add("title", i.title)
        .add("belief_ids", i.belief_ids)
        .add("belief_keys", i.belief_keys)
        .add("record_ids", i.record_ids)
        .add("shared_tags", i.shared_tags)
        .add("unresolved_belief_count", i.unresolved_belief_count)
        .add("high_volatility_belief_count", i.high_volatility_belief_count)
        .add("dependent_causal_patterns", i.dependent_causal_patterns)
        .add("dependent_policy_hints", i.dependent_policy_hints)
        .add("downstream_impact", i.downstream_impact)
        .add("total_conflict_mass", i.total_conflict_mass)
        .add("avg_volatility", i.avg_volatility)
        .add("avg_stability", i.avg_stability)
        .add("priority_score", i.priority_score)
        .add("severity", i.severity)
        .finish();
  }
};

namespace {

std::vector<ContradictionReviewItem> get_contradiction_review_queue(Vesk& self, std::optional<std::string> namespace_,
                                                                    std::optional<uint64_t> limit) {
  std::optional<std::string_view> ns;
  if (namespace_) ns = *namespace_;
  return self.get_contradiction_review_queue(ns, limit);
}
constexpr Method kGetContradictionReviewQueue{
    "Vesk", "get_contradiction_review_queue($self, namespace=None, limit=None)", get_contradiction_review_queue};

}  // namespace

MethodRows contradiction_review_methods() { return {bind<kGetContradictionReviewQueue>()}; }

}  // namespace vesk::py
