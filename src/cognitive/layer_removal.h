// Removing one record from the derived cognitive layers.
//
// The rule is coarse: an item that names the record is removed whole, and so
// is everything derived from a removed item (a concept, causal pattern or
// policy hint built on a removed belief; a policy hint triggered by a removed
// concept or pattern). Nothing is repaired, rescored or created.
//
// Each function takes the layer and what was removed from the layers before
// it, changes nothing when the layer does not name any of it, and reports
// what it took out. Callers check with the `*_names` predicates first, so a
// layer that needs no change is neither copied nor written. None takes a lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "cognitive/belief_layer.h"
#include "cognitive/causal_layer.h"
#include "cognitive/concept_layer.h"
#include "cognitive/policy_layer.h"
#include "cognitive/recall_replay_baseline.h"
#include "cognitive/reflection_summary.h"
#include "cognitive/topology.h"

namespace vesk {

// What the earlier layers lost; the later layers drop what rests on it.
struct RemovedLayerIds {
  std::unordered_set<std::string> beliefs;
  std::unordered_set<std::string> concepts;
  std::unordered_set<std::string> causal;
};

// Beliefs: every belief one of whose hypotheses lists the record among its
// prototypes goes with all its hypotheses (also hypotheses of that belief it
// does not list); the key index loses their keys and the record index is
// rebuilt from the hypotheses that remain (record id -> hypothesis id, the
// last hypothesis in map order winning). Returns the affected belief ids,
// counted even when the belief itself was already missing.
std::unordered_set<std::string> beliefs_naming(const BeliefEngine& engine, std::string_view record_id);
void remove_beliefs(BeliefEngine& engine, const std::unordered_set<std::string>& belief_ids);

// Concepts naming the record or a removed belief; their ids.
bool concepts_name(const ConceptEngine& engine, std::string_view record_id, const RemovedLayerIds& removed);
std::unordered_set<std::string> remove_concepts(ConceptEngine& engine, std::string_view record_id,
                                                const RemovedLayerIds& removed);

// Causal patterns naming the record (as cause or effect) or a removed belief.
bool causal_patterns_name(const CausalEngine& engine, std::string_view record_id, const RemovedLayerIds& removed);
std::unordered_set<std::string> remove_causal_patterns(CausalEngine& engine, std::string_view record_id,
                                                       const RemovedLayerIds& removed);

// Policy hints supported or caused by the record, or triggered by a removed
// belief, concept or causal pattern; the number removed.
bool policy_hints_name(const PolicyEngine& engine, std::string_view record_id, const RemovedLayerIds& removed);
uint64_t remove_policy_hints(PolicyEngine& engine, std::string_view record_id, const RemovedLayerIds& removed);

// The topology loses the record's node (record_key) and every edge to it; a
// node left without edges by this goes too, while one that had none stays.
// True when anything was removed.
bool topology_names(const Topology& topology, std::string_view record_id);
bool remove_from_topology(Topology& topology, std::string_view record_id);

// Whole summaries with a finding relating the record, and whole baselines
// that ranked it, are dropped, the rest keeping their order. True when any
// was dropped.
bool reflection_summaries_name(const std::vector<ReflectionSummary>& summaries, std::string_view record_id);
bool recall_baselines_name(const std::vector<RecallReplayBaseline>& baselines, std::string_view record_id);
bool remove_reflection_summaries(std::vector<ReflectionSummary>& summaries, std::string_view record_id);
bool remove_recall_baselines(std::vector<RecallReplayBaseline>& baselines, std::string_view record_id);

}  // namespace vesk
