// Readers of the cognitive layer files and the recall replay history, until
// their real readers exist; a stand-in for the recall replay baseline. The
// topology is the co-recall graph of cognitive/topology.h. (The trend and
// reflection summary histories have their readers: maintenance_trends_format.h
// and reflection_summaries_format.h.)
//
// PLACEHOLDER. The open sequence already loads every persisted surface and
// holds what the loaders return; these readers let it do so now. Each
// parse function checks only that the payload is one JSON value of the right
// outer shape (an object for an engine or the topology, an array for the
// replay history; only white space may follow) and fails with the reader's
// "{} at line {} column {}" otherwise. An engine therefore reports 0 entries;
// the replay history holds one default entry per array element, so its
// length (and the cut to the last 128) is already right.
//
// When a layer is built, its type replaces the struct here, its reader
// replaces the parse function and its entry count replaces the count
// function; the loaders in surface_loaders.h keep their shape.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "cognitive/belief_layer.h"
#include "cognitive/causal_layer.h"
#include "cognitive/concept_layer.h"
#include "cognitive/policy_layer.h"
#include "base/status.h"
#include "cognitive/topology.h"

namespace vesk {

struct RecallReplayBaseline {};

Result<BeliefEngine> parse_belief_engine(std::string_view payload);
Result<ConceptEngine> parse_concept_engine(std::string_view payload);
Result<CausalEngine> parse_causal_engine(std::string_view payload);
Result<PolicyEngine> parse_policy_engine(std::string_view payload);
Result<Topology> parse_topology(std::string_view payload);

// The numbers the "loaded" events report: beliefs, concept candidates, causal
// patterns, policy hints.
uint64_t belief_count(const BeliefEngine& engine);
uint64_t concept_count(const ConceptEngine& engine);
uint64_t causal_pattern_count(const CausalEngine& engine);
uint64_t policy_hint_count(const PolicyEngine& engine);

Result<std::vector<RecallReplayBaseline>> parse_recall_replay(std::string_view text);

}  // namespace vesk
