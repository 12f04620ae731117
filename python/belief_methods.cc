// Belief queries and settings, the belief instability reports, the
// contradiction clusters and the recently corrected beliefs. All keep the
// interpreter lock: each is a short read or a single assignment.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "layer_dicts.h"
#include "value_classes.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

std::optional<std::string> get_belief_id_for_record(Vesk& self, std::string record_id) {
  return self.belief_id_for_record(record_id);
}
constexpr Method kGetBeliefIdForRecord{"Vesk",
                                       "get_belief_id_for_record($self, record_id)\n--\n\n"
                                       "ID of the belief that currently owns a record, if any.",
                                       get_belief_id_for_record};

// No range test: 0, negative values, values above 1 and NaN are all stored.
void set_embedding_claim_threshold(Vesk& self, std::optional<float> threshold) {
  self.set_embedding_claim_threshold(threshold);
}
constexpr Method kSetEmbeddingClaimThreshold{
    "Vesk",
    "set_embedding_claim_threshold($self, threshold=None)\n--\n\n"
    "Opt in to embedding-based belief clustering at this cosine threshold (None disables it).",
    set_embedding_claim_threshold};

std::vector<ContradictionCluster> get_contradiction_clusters(Vesk& self, std::optional<std::string> namespace_,
                                                             std::optional<uint64_t> limit) {
  std::optional<std::string_view> ns;
  if (namespace_) ns = *namespace_;
  std::optional<size_t> n;
  if (limit) n = static_cast<size_t>(*limit);
  return self.get_contradiction_clusters(ns, n);
}
constexpr Method kGetContradictionClusters{"Vesk", "get_contradiction_clusters($self, namespace=None, limit=None)",
                                           get_contradiction_clusters};

}  // namespace

// Selected beliefs, handed to Python as a list of belief dicts.
struct BeliefDicts {
  std::vector<Belief> beliefs;
};
template <>
struct ToPy<BeliefDicts> {
  static PyObject* convert(const BeliefDicts& d) {
    PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(d.beliefs.size())));
    if (!list) return nullptr;
    for (size_t i = 0; i < d.beliefs.size(); ++i) {
      PyObject* item = belief_dict(d.beliefs[i]);
      if (!item) return nullptr;
      PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);
    }
    return list.release();
  }
};

namespace {

BeliefInstabilitySummary get_belief_instability_summary(Vesk& self) { return self.get_belief_instability_summary(); }
constexpr Method kGetBeliefInstabilitySummary{"Vesk", "get_belief_instability_summary($self)",
                                              get_belief_instability_summary};

std::optional<size_t> size_limit(std::optional<uint64_t> limit) {
  if (!limit) return std::nullopt;
  return static_cast<size_t>(*limit);
}

BeliefDicts get_high_volatility_beliefs(Vesk& self, std::optional<float> min_volatility,
                                        std::optional<uint64_t> limit) {
  return {self.get_high_volatility_beliefs(min_volatility, size_limit(limit))};
}
constexpr Method kGetHighVolatilityBeliefs{
    "Vesk", "get_high_volatility_beliefs($self, min_volatility=None, limit=None)", get_high_volatility_beliefs};

BeliefDicts get_low_stability_beliefs(Vesk& self, std::optional<float> max_stability, std::optional<uint64_t> limit) {
  return {self.get_low_stability_beliefs(max_stability, size_limit(limit))};
}
constexpr Method kGetLowStabilityBeliefs{"Vesk", "get_low_stability_beliefs($self, max_stability=None, limit=None)",
                                         get_low_stability_beliefs};

BeliefDicts get_recently_corrected_beliefs(Vesk& self, std::optional<uint64_t> limit) {
  return {self.get_recently_corrected_beliefs(limit)};
}
constexpr Method kGetRecentlyCorrectedBeliefs{"Vesk", "get_recently_corrected_beliefs($self, limit=None)",
                                              get_recently_corrected_beliefs};

}  // namespace

MethodRows belief_methods() {
  return {bind<kGetBeliefIdForRecord>(),          bind<kSetEmbeddingClaimThreshold>(),
          bind<kGetContradictionClusters>(),      bind<kGetBeliefInstabilitySummary>(),
          bind<kGetHighVolatilityBeliefs>(),      bind<kGetLowStabilityBeliefs>(),
          bind<kGetRecentlyCorrectedBeliefs>()};
}

}  // namespace vesk::py
