// Belief queries and settings, and the contradiction clusters. All keep the
// interpreter lock: each is a short read or a single assignment.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

MethodRows belief_methods() {
  return {bind<kGetBeliefIdForRecord>(), bind<kSetEmbeddingClaimThreshold>(), bind<kGetContradictionClusters>()};
}

}  // namespace vesk::py
