// Readers of the cognitive layer files and the history files, until their
// real readers exist; a stand-in for the recall replay baseline. The topology
// is the co-recall graph of cognitive/topology.h.
//
// PLACEHOLDER. The open sequence already loads every persisted surface and
// holds what the loaders return; these readers let it do so now. Each
// parse function checks only that the payload is one JSON value of the right
// outer shape (an object for an engine or the topology, an array for a
// history; only white space may follow) and fails with the reader's
// "{} at line {} column {}" otherwise. An engine therefore reports 0 entries;
// a history holds one default entry per array element, so its length (and
// the recall replay cut) is already right.
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
#include "cognitive/maintenance_trend_snapshot.h"
#include "cognitive/policy_layer.h"
#include "cognitive/reflection_summary.h"
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

Result<std::vector<MaintenanceTrendSnapshot>> parse_maintenance_trends(std::string_view text);
Result<std::vector<ReflectionSummary>> parse_reflection_summaries(std::string_view text);
Result<std::vector<RecallReplayBaseline>> parse_recall_replay(std::string_view text);

}  // namespace vesk
