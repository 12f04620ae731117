#include "cognitive/surface_savers.h"

#include <string>

#include "cognitive/belief_store_format.h"
#include "cognitive/causal_store_format.h"
#include "cognitive/concept_store_format.h"
#include "cognitive/history_file_save.h"
#include "cognitive/layer_file_save.h"
#include "cognitive/maintenance_trends_format.h"
#include "cognitive/policy_store_format.h"
#include "cognitive/recall_replay_format.h"
#include "cognitive/reflection_summaries_format.h"
#include "cognitive/surface_load_support.h"
#include "cognitive/surface_loaders.h"
#include "cognitive/topology_format.h"
#include "storage/atomic_file.h"
#include "storage/backup_swap.h"

namespace vesk {

Status save_belief_store(const PersistenceTarget& target, const BeliefEngine& engine, Env& env) {
  return save_layer_file(target, kBeliefStoreFile, engine, env);
}

Status save_concept_store(const PersistenceTarget& target, const ConceptEngine& engine, Env& env) {
  return save_layer_file(target, kConceptStoreFile, engine, env);
}

Status save_causal_store(const PersistenceTarget& target, const CausalEngine& engine, Env& env) {
  return save_layer_file(target, kCausalStoreFile, engine, env);
}

Status save_policy_store(const PersistenceTarget& target, const PolicyEngine& engine, Env& env) {
  return save_layer_file(target, kPolicyStoreFile, engine, env);
}

Status save_topology(const PersistenceTarget& target, const Topology& topology, Env& env) {
  if (Status made = env.create_dirs(target.dir); !made.ok()) {
    return Status::Wrap(ErrorKind::Runtime, "topology::save: create_dir_all " + display_path(target.dir), made);
  }
  const fs::path path = target.dir / kTopologyFile;
  if (Status written = write_file_atomic(target.key_ptr(), path, layer_json(topology), env); !written.ok()) {
    return Status::Wrap(ErrorKind::Runtime, "topology::save: write " + display_path(path), written);
  }
  return Status::Ok();
}

Status save_maintenance_trends(const fs::path& dir, const SecretKey* key,
                               const std::vector<MaintenanceTrendSnapshot>& history, Env& env) {
  return save_history_file(dir, key, kMaintenanceTrendsFile, history, env);
}

Status save_reflection_summaries(const fs::path& dir, const SecretKey* key,
                                 const std::vector<ReflectionSummary>& summaries, Env& env) {
  return save_history_file(dir, key, kReflectionSummariesFile, summaries, env);
}

Status save_recall_replay(const fs::path& dir, const SecretKey* key,
                          const std::vector<RecallReplayBaseline>& history, Env& env) {
  auto sealed = seal_payload(key, history_json(history));
  if (!sealed.ok()) return sealed.status();
  return replace_file_via_backup(dir / kRecallReplayFile, *sealed, env);
}

}  // namespace vesk
