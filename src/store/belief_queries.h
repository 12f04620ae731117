// Store-level questions and settings of the belief layer: the belief that
// holds a record, belief listings, the embedding threshold of the belief
// phase, and the contradiction clusters.
//
// Readers take the store's cognitive read view (shared locks on records,
// beliefs, concepts, causal patterns and policy hints, in lock order) for the
// call; the threshold setter takes the belief layer's write lock. None fails.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cognitive/belief_layer.h"
#include "reports/belief_instability.h"

namespace vesk {

class Vesk;

// The state filter of belief listings: none keeps every belief; "resolved",
// "unresolved", "singleton" and "empty" (exact lower case) keep the beliefs
// in that state; any other text keeps every belief.
bool filter_beliefs_by_state(const Belief& belief, std::optional<std::string_view> state);

// The id of the belief that holds a record through one of its hypotheses,
// or none.
std::optional<std::string> belief_id_for_record(const Vesk& store, std::string_view record_id);

// Copies of the beliefs that pass the filter, in map order.
std::vector<Belief> list_beliefs_by_state(const Vesk& store, std::optional<std::string_view> state = std::nullopt);

// The cosine threshold of the embedding test of the next belief phases (none
// turns the test off), stored as given: no range test.
void set_embedding_claim_threshold(Vesk& store, std::optional<float> threshold);

// Contradiction clusters (reports/contradiction_clusters.h) of one namespace
// or of all.
std::vector<ContradictionCluster> get_contradiction_clusters(const Vesk& store,
                                                             std::optional<std::string_view> namespace_,
                                                             std::optional<size_t> limit);

}  // namespace vesk
