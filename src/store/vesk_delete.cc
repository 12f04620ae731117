// Vesk::delete_record, the binding's delete under either security profile,
// and the cascade that takes a record out of the cognitive layers.
#include <mutex>
#include <shared_mutex>
#include <utility>

#include "base/trace.h"
#include "cognitive/layer_removal.h"
#include "cognitive/surface_savers.h"
#include "store/vesk.h"

namespace vesk {

Result<std::optional<LayerRemovalCounts>> Vesk::delete_record(std::string_view record_id) {
  VESK_SPAN(span, "delete", "vesk::vesk", trace::Level::Info);
  const std::string id(record_id);
  bool found = false;
  // The frame goes first: until it is written nothing of the record has
  // changed, so a failed write leaves it whole, embedding and layers too.
  Status removed = changes_->apply([&](RecordChanges::Batch& batch) -> Status {
    if (!batch.find(id)) return Status::Ok();
    found = true;
    return batch.remove(id);
  });
  VESK_RETURN_IF_ERROR(removed);
  if (!found) return std::optional<LayerRemovalCounts>();

  // From here the record is gone from memory and the journal; what fails
  // now is reported, and leaves only derived traces that a purge removes.
  Result<LayerRemovalCounts> counts = purge_ids_from_cognitive_layers(id);
  if (!counts.ok()) return counts.status();
  if (audit_) VESK_RETURN_IF_ERROR(audit_->append_audit_entry(AuditAction::Delete{id}));
  return std::optional<LayerRemovalCounts>(*counts);
}

Result<bool> Vesk::delete_for_profile(std::string_view record_id) {
  if (flags_.security_profile.load(std::memory_order_relaxed) != SecurityProfile::Strict) {
    Result<std::optional<LayerRemovalCounts>> outcome = delete_record(record_id);
    if (!outcome.ok()) return outcome.status();
    return outcome->has_value();
  }
  bool in_memory = records_.records.read()->find_value(record_id) != nullptr;
  if (!in_memory) {
    // Only in the record log (a record deleted in an earlier session, or
    // kept out of memory at open) is it purged as well; a read failure
    // counts as absent.
    Result<std::optional<LogEntry>> entry = storage_->read_entry(record_id);
    if (!entry.ok() || !entry->has_value()) return false;
  }
  Result<PurgeReport> report = purge_record(record_id, PurgeScope::History);
  if (!report.ok()) return report.status();
  return report->active_record_removed;
}

// Each layer is changed under its own write lock, taken alone, from the
// test to the installation, so a change another operation makes to it
// meanwhile waits instead of being lost. A layer that does not name the
// record is neither copied nor written; one that does is saved as changed
// and then installed, so memory and file agree layer by layer. The first
// failed save ends the cascade: the layers before it stay cleaned (in memory
// and on disk), the one that failed and those after it stay as they were.
Result<LayerRemovalCounts> Vesk::purge_ids_from_cognitive_layers(std::string_view record_id) {
  LayerRemovalCounts counts;
  RemovedLayerIds removed;
  const PersistenceTarget& target = persistence_target_;
  {
    auto beliefs = layers_.beliefs.write();
    removed.beliefs = beliefs_naming(*beliefs, record_id);
    if (!removed.beliefs.empty()) {
      BeliefEngine next = *beliefs;
      remove_beliefs(next, removed.beliefs);
      VESK_RETURN_IF_ERROR(save_belief_store(target, next, env_));
      *beliefs = std::move(next);
      counts.beliefs_removed = removed.beliefs.size();
    }
  }
  {
    auto concepts = layers_.concepts.write();
    if (concepts_name(*concepts, record_id, removed)) {
      ConceptEngine next = *concepts;
      removed.concepts = remove_concepts(next, record_id, removed);
      index_concept_records(next);
      VESK_RETURN_IF_ERROR(save_concept_store(target, next, env_));
      *concepts = std::move(next);
      counts.concepts_removed = removed.concepts.size();
    }
  }
  {
    auto causal = layers_.causal.write();
    if (causal_patterns_name(*causal, record_id, removed)) {
      CausalEngine next = *causal;
      removed.causal = remove_causal_patterns(next, record_id, removed);
      VESK_RETURN_IF_ERROR(save_causal_store(target, next, env_));
      *causal = std::move(next);
      counts.causal_patterns_removed = removed.causal.size();
    }
  }
  {
    auto policies = layers_.policies.write();
    if (policy_hints_name(*policies, record_id, removed)) {
      PolicyEngine next = *policies;
      counts.policy_hints_removed = remove_policy_hints(next, record_id, removed);
      VESK_RETURN_IF_ERROR(save_policy_store(target, next, env_));
      *policies = std::move(next);
    }
  }
  {
    std::unique_lock<std::shared_mutex> g(layers_.plasticity.mu);
    if (topology_names(layers_.plasticity.topology, record_id)) {
      Topology next = layers_.plasticity.topology;
      counts.topology_removed = remove_from_topology(next, record_id);
      VESK_RETURN_IF_ERROR(save_topology(target, next, env_));
      layers_.plasticity.topology = std::move(next);
    }
  }
  {
    auto summaries = maintenance_.reflection_summaries.write();
    if (reflection_summaries_name(*summaries, record_id)) {
      std::vector<ReflectionSummary> next = *summaries;
      remove_reflection_summaries(next, record_id);
      VESK_RETURN_IF_ERROR(save_reflection_summaries(path_, key_.get(), next, env_));
      *summaries = std::move(next);
    }
  }
  {
    auto baselines = recall_.recall_replay.write();
    if (recall_baselines_name(*baselines, record_id)) {
      std::vector<RecallReplayBaseline> next = *baselines;
      remove_recall_baselines(next, record_id);
      VESK_RETURN_IF_ERROR(save_recall_replay(path_, key_.get(), next, env_));
      *baselines = std::move(next);
    }
  }
  return counts;
}

}  // namespace vesk
