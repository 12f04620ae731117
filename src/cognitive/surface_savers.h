// The savers of the persisted surfaces. Each writes its whole file and
// returns the failure, the file then unchanged (or, for the recall replay
// history, see its swap); what a caller does with a failure is the caller's
// business (the maintenance cycle drops it, a purge stops at it). None takes
// a lock: the caller holds the layer's lock, or saves a copy of its own.
//
//   save_belief_store           beliefs.cog                layer save path
//   save_concept_store          concepts.cog               layer save path
//   save_causal_store           causal.cog                 layer save path
//   save_policy_store           policies.cog               layer save path
//   save_topology               topology.cog               layer save path,
//                                                          messages below
//   save_maintenance_trends     maintenance_trends.json    history save path
//   save_reflection_summaries   reflection_summaries.json  history save path
//   save_recall_replay          recall_replay.json         its own swap
//
// The layer save path (layer_file_save.h) creates the store directory, writes
// compact JSON and replaces the file atomically; the history save path
// (history_file_save.h) writes pretty JSON the same way; the recall replay
// history goes through ".tmp" and ".bak" names instead (backup_swap.h).
// No history saver trims: the caller passes the history it keeps.
#pragma once

#include <vector>

#include "base/env.h"
#include "base/status.h"
#include "cognitive/belief_layer.h"
#include "cognitive/causal_layer.h"
#include "cognitive/concept_layer.h"
#include "cognitive/maintenance_trend_snapshot.h"
#include "cognitive/persistence_target.h"
#include "cognitive/policy_layer.h"
#include "cognitive/recall_replay_baseline.h"
#include "cognitive/reflection_summary.h"
#include "cognitive/topology.h"
#include "storage/crypto.h"

namespace vesk {

Status save_belief_store(const PersistenceTarget& target, const BeliefEngine& engine, Env& env);
Status save_concept_store(const PersistenceTarget& target, const ConceptEngine& engine, Env& env);
Status save_causal_store(const PersistenceTarget& target, const CausalEngine& engine, Env& env);
Status save_policy_store(const PersistenceTarget& target, const PolicyEngine& engine, Env& env);

// A failure carries the outer message alone, "topology::save: create_dir_all
// {store directory}" or "topology::save: write {file path}", and keeps the
// file system's failure as its cause (Status::cause). (Writing the JSON text
// cannot fail, so the "topology::save: serialize" failure never arises.)
Status save_topology(const PersistenceTarget& target, const Topology& topology, Env& env);

Status save_maintenance_trends(const fs::path& dir, const SecretKey* key,
                               const std::vector<MaintenanceTrendSnapshot>& history, Env& env);

Status save_reflection_summaries(const fs::path& dir, const SecretKey* key,
                                 const std::vector<ReflectionSummary>& summaries, Env& env);

// The whole history, sealed when there is a key, swapped into place.
Status save_recall_replay(const fs::path& dir, const SecretKey* key,
                          const std::vector<RecallReplayBaseline>& history, Env& env);

}  // namespace vesk
