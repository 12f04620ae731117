// The loaders the open sequence calls for the persisted surfaces, in the
// order it calls them:
//
//   load_belief_store       beliefs.cog        "belief"   (empty check)
//   load_concept_store      concepts.cog       "concept"  (empty check)
//   load_causal_store       causal.cog         "causal"
//   load_topology           topology.cog       no event; see topology_or_default
//   load_policy_store       policies.cog       "policy"
//   load_persistence_manifest (persistence_manifest.h)
//   load_maintenance_trends   maintenance_trends.json    "maintenance_trends"
//   load_reflection_summaries reflection_summaries.json  "reflection_summaries"
//   load_recall_replay        recall_replay.json (+.bak) "recall_replay"
//
// None fails: each returns a usable value and appends its event (see
// layer_file_load.h and history_file_load.h for the steps and statuses).
// `path` is the store directory joined with the file's name; the events show
// it as text.
#pragma once

#include <vector>

#include "cognitive/belief_layer.h"
#include "cognitive/causal_layer.h"
#include "cognitive/concept_layer.h"
#include "cognitive/maintenance_trends_format.h"
#include "cognitive/persistence_target.h"
#include "cognitive/policy_layer.h"
#include "cognitive/recall_replay_format.h"
#include "cognitive/reflection_summaries_format.h"
#include "cognitive/topology.h"
#include "cognitive/startup_validation.h"
#include "base/env.h"

namespace vesk {

inline constexpr char kBeliefStoreFile[] = "beliefs.cog";
inline constexpr char kConceptStoreFile[] = "concepts.cog";
inline constexpr char kCausalStoreFile[] = "causal.cog";
inline constexpr char kPolicyStoreFile[] = "policies.cog";
inline constexpr char kTopologyFile[] = "topology.cog";
// kMaintenanceTrendsFile, kReflectionSummariesFile and kRecallReplayFile are
// named with their formats (maintenance_trends_format.h,
// reflection_summaries_format.h, recall_replay_format.h).

BeliefEngine load_belief_store(const PersistenceTarget& target, const fs::path& path,
                               std::vector<StartupValidationEvent>& events, Env& env);
ConceptEngine load_concept_store(const PersistenceTarget& target, const fs::path& path,
                                 std::vector<StartupValidationEvent>& events, Env& env);
CausalEngine load_causal_store(const PersistenceTarget& target, const fs::path& path,
                               std::vector<StartupValidationEvent>& events, Env& env);
PolicyEngine load_policy_store(const PersistenceTarget& target, const fs::path& path,
                               std::vector<StartupValidationEvent>& events, Env& env);

// The topology from "topology.cog": empty when the file is missing; an error
// "topology::load: read {path}" when it cannot be read or unsealed,
// "topology::load: deserialize" when it does not parse (an empty payload
// included).
Result<Topology> load_topology(const PersistenceTarget& target, Env& env);
// The open starts with an empty topology rather than fail or report.
Topology topology_or_default(Result<Topology> loaded);

std::vector<MaintenanceTrendSnapshot> load_maintenance_trends(const fs::path& dir, const SecretKey* key,
                                                              std::vector<StartupValidationEvent>& events,
                                                              Env& env);
std::vector<ReflectionSummary> load_reflection_summaries(const fs::path& dir, const SecretKey* key,
                                                         std::vector<StartupValidationEvent>& events,
                                                         Env& env);
// The last kRecallReplayLimit baselines of the file (or of its ".bak" copy).
std::vector<RecallReplayBaseline> load_recall_replay(const fs::path& dir, const SecretKey* key,
                                                     std::vector<StartupValidationEvent>& events,
                                                     Env& env);

}  // namespace vesk
