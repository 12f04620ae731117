// Vesk::run_maintenance: one maintenance cycle, its steps in a fixed order.
//
//    1. The cycle turn, so that cycles run one at a time; the span; the
//       start of total_ms.
//    2. Copies of the maintenance configuration, then of the tag taxonomy.
//    3. The experience intake, on the queue taken out whole.
//    4. The cycle number: the background worker state's counter, or 0.
//  5-7. Under the record map's write lock: the core phases (level fix,
//       decay, epistemic update, reflection, insight count) journalled as
//       one batch, the index refresh of the records they removed, and the
//       cycle snapshot of the records valid now.
//    8. The SDR step (cycle_sdrs.h): the cycle SDR map.
//    9. The store's embeddings into the belief engine, as a shared view.
//   10. The co-recall graph decayed and saved; its copy into the causal engine.
//   11. The belief phase.
//   12. The concept and causal phases side by side (layer_fork_join.h).
//   13. The policy phase.
//   14. The feedback of causal patterns and policy hints into the beliefs.
//   15. The stability of the layers' identities.
//   16. The digest phases (consolidation, cross-connections, tasks, archival)
//       and 17. the index refresh of the records they removed.
//   18. The flush (pending activations, journal, record log).
//   19. Both recall caches emptied.
//   20. total_ms, and 21. the dominant phase.
//   22. The concept surface telemetry; 23. the timestamp and the number of
//       corrections; 24. the trend snapshot and summary; 25. the reflection
//       summary; 26. the report.
//
// Locks (store/lock_order.h). The cycle turn comes first and is held to the
// end, so a second cycle waits for the whole first one. The cycle number is
// read before the record map is locked, so the background slot is never
// taken inside it. The record map's write lock is held for the core phases,
// their refresh and the snapshot only: the layer phases see the snapshot,
// and stores and recalls go on meanwhile. Every layer step takes the layer
// locks it needs in the store's one order, belief -> concept -> causal ->
// policy (its own layer for writing, those it reads for reading), whatever
// order the phase reads them in, so two steps can never each hold what the
// other waits for.
//
// Saves. A layer's file text is made while its phase still holds the layer,
// and written once every lock is released: a recall that reranks with the
// layer waits for the phase, never for the disk. Every save and the flush
// may fail; a failure is dropped, the layer in memory stays the truth and
// the next save writes it.
//
// Phase timings come from the monotonic clock (phase_clock.h). The parts
// total_ms covers are measured on the calling thread, but the concept and
// causal phases, which may overlap.
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/rfc3339.h"
#include "base/trace.h"
#include "cognitive/belief_store_format.h"
#include "cognitive/causal_store_format.h"
#include "cognitive/concept_store_format.h"
#include "cognitive/layer_file_save.h"
#include "cognitive/policy_store_format.h"
#include "cognitive/surface_loaders.h"
#include "cognitive/topology_decay.h"
#include "maintenance/belief_feedback.h"
#include "maintenance/concept_surface_telemetry.h"
#include "maintenance/core_phases.h"
#include "maintenance/cycle_reflection.h"
#include "maintenance/cycle_sdrs.h"
#include "maintenance/cycle_snapshot.h"
#include "maintenance/digest_phases.h"
#include "maintenance/dominant_phase.h"
#include "maintenance/experience_intake.h"
#include "maintenance/layer_fork_join.h"
#include "maintenance/layer_phases.h"
#include "maintenance/layer_stability.h"
#include "maintenance/phase_clock.h"
#include "maintenance/trend_snapshot.h"
#include "store/experience_host.h"
#include "store/vesk.h"

namespace vesk {
namespace {

// Fills the hotspot fields the layer phases' reports feed.
void note_layer_reports(const MaintenanceReport& r, MaintenanceHotspots& h) {
  h.belief_total_beliefs = r.belief.total_beliefs;
  h.belief_total_hypotheses = r.belief.total_hypotheses;
  h.concept_pairwise_comparisons = r.concept_.pairwise_comparisons;
  h.concept_partitions_with_multiple_seeds = r.concept_.partitions_with_multiple_seeds;
  h.causal_edges_found = r.causal.edges_found;
  h.causal_explicit_edges_found = r.causal.explicit_edges_found;
  h.causal_temporal_edges_found = r.causal.temporal_edges_found;
  h.causal_temporal_namespaces_scanned = r.causal.temporal_namespaces_scanned;
  h.causal_temporal_pairs_considered = r.causal.temporal_pairs_considered;
  h.causal_temporal_pairs_skipped_by_budget = r.causal.temporal_pairs_skipped_by_budget;
  h.causal_temporal_edges_capped = r.causal.temporal_edges_capped;
  h.causal_temporal_namespaces_hit_cap = r.causal.temporal_namespaces_hit_cap;
  h.policy_seeds_found = r.policy.seeds_found;
}

}  // namespace

MaintenanceReport Vesk::run_maintenance() {
  auto turn = maintenance_.cycle_turn.write();
  VESK_SPAN(span, "run_maintenance", "vesk::maintenance", trace::Level::Info, trace::empty("total_records"),
            trace::empty("total_ms"));
  const PhaseInstant cycle_start = phase_clock_now();
  MaintenanceReport report;

  // 2-4.
  MaintenanceConfig config = config_.maintenance();
  CycleContext cycle{.config = std::move(config), .taxonomy = config_.taxonomy(), .env = env_};
  ExperienceQueue taken = std::exchange(*layers_.experience_queue.write(), ExperienceQueue{});
  StoreExperienceHost experience_host(*this);
  report.experience_injected = run_experience_intake(std::move(taken), experience_host, cycle);
  if (auto slot = maintenance_.background.read(); *slot) cycle.cycle_number = (*slot)->cycle.load();

  // 5-7.
  CycleSnapshot snapshot;
  {
    // The core phases are one pass of the record-change seam: their changes
    // and removals go to the journal as one batch, and a batch that cannot
    // be written puts every record back and counts nothing.
    CorePhasesResult core;
    changes_->apply([&](RecordChanges::Batch& batch) {
      const Status written = batch.rewrite_all(
          [&](RecordMap& records) {
            core = maintenance_core_phases(records, cycle);
            return core.removed_ids;
          },
          /*journal_removals=*/true);
      if (!written.ok()) core = zero_core_counts(core);
      refresh_indexes_after_maintenance(core.removed_ids);
      snapshot = take_cycle_snapshot(batch.map(), env_.now_seconds());
    });
    report.total_records = core.total_records;
    report.decay = core.decay;
    report.reflect = core.reflect;
    report.epistemic = core.epistemic;
    report.insights_found = core.insights_found;
  }
  cycle.hotspots.belief_snapshot_records = snapshot.size();
  for (const auto& [id, record] : snapshot) cycle.hotspots.sdr_source_bytes += record.content.size();

  // 8.
  CycleSdrMap sdrs;
  const PhaseInstant sdr_start = phase_clock_now();
  build_cycle_sdrs(indexes_.record_sdrs, indexes_.sdr_encoder, snapshot, sdrs, cycle.hotspots);
  cycle.timings.sdr_build_ms = elapsed_ms(sdr_start, phase_clock_now());

  // 9-10. The graph copy the causal engine held before is dropped with no
  //       lock held.
  layers_.beliefs.write()->claim_embeddings = indexes_.embeddings.get();
  std::optional<Topology> graph = decay_topology(layers_.plasticity, persistence_target_, env_);
  layers_.causal.write()->topology.swap(graph);
  graph.reset();

  // 11.
  const PhaseInstant belief_start = phase_clock_now();
  std::string belief_text;
  {
    auto beliefs = layers_.beliefs.write();
    report.belief = update_beliefs(*beliefs, snapshot, sdrs, env_);
    belief_text = layer_json(*beliefs);
  }
  (void)save_layer_text(persistence_target_, kBeliefStoreFile, belief_text, env_);
  cycle.timings.belief_ms = elapsed_ms(belief_start, phase_clock_now());

  // 12.
  run_concept_and_causal_phases(
      [&] {
        const PhaseInstant start = phase_clock_now();
        std::string text;
        {
          auto beliefs = layers_.beliefs.read();
          auto concepts = layers_.concepts.write();
          report.concept_ = discover_concepts(*concepts, *beliefs, snapshot, sdrs, env_);
          text = layer_json(*concepts);
        }
        (void)save_layer_text(persistence_target_, kConceptStoreFile, text, env_);
        cycle.timings.concept_ms = elapsed_ms(start, phase_clock_now());
      },
      [&] {
        const PhaseInstant start = phase_clock_now();
        std::string text;
        {
          auto beliefs = layers_.beliefs.read();
          auto causal = layers_.causal.write();
          report.causal = discover_causal_patterns(*causal, *beliefs, snapshot);
          text = layer_json(*causal);
        }
        (void)save_layer_text(persistence_target_, kCausalStoreFile, text, env_);
        cycle.timings.causal_ms = elapsed_ms(start, phase_clock_now());
      });

  // 13. The policy phase reads causal patterns, concepts and beliefs; the
  //     locks are taken in the store's order all the same.
  const PhaseInstant policy_start = phase_clock_now();
  std::string policy_text;
  {
    auto beliefs = layers_.beliefs.read();
    auto concepts = layers_.concepts.read();
    auto causal = layers_.causal.read();
    auto policies = layers_.policies.write();
    report.policy = derive_policy_hints(*policies, *causal, concepts->concepts, *beliefs, snapshot);
    policy_text = layer_json(*policies);
  }
  (void)save_layer_text(persistence_target_, kPolicyStoreFile, policy_text, env_);
  cycle.timings.policy_ms = elapsed_ms(policy_start, phase_clock_now());
  note_layer_reports(report, cycle.hotspots);
  // The layer phases were the last to read them.
  snapshot = CycleSnapshot();
  CycleSdrMap().swap(sdrs);

  // 14. The beliefs change, the causal patterns and hints are read: the
  //     belief lock comes first.
  {
    auto beliefs = layers_.beliefs.write();
    auto causal = layers_.causal.read();
    auto policies = layers_.policies.read();
    report.feedback = feed_back_into_beliefs(*beliefs, *causal, *policies, env_);
    belief_text = layer_json(*beliefs);
  }
  (void)save_layer_text(persistence_target_, kBeliefStoreFile, belief_text, env_);

  // 15.
  {
    auto beliefs = layers_.beliefs.read();
    auto concepts = layers_.concepts.read();
    auto causal = layers_.causal.read();
    auto policies = layers_.policies.read();
    report.stability = measure_layer_stability(
        *beliefs, *concepts, *causal, *policies,
        PreviousLayerIds{maintenance_.previous_belief_ids, maintenance_.previous_concept_ids,
                         maintenance_.previous_causal_ids, maintenance_.previous_policy_ids});
  }

  // 16-17. The state installed now receives the cross-connection lines; one
  //        replaced or removed meanwhile takes them with it.
  const std::shared_ptr<BackgroundWorkerState> background = *maintenance_.background.read();
  DigestPhasesOutcome digest = maintenance_digest_phases(
      DigestPhaseParts{records_.records, indexes_.ngram, indexes_.tags, records_.id_map, *journal_, background.get()},
      cycle);
  refresh_indexes_after_maintenance(digest.changed_ids);
  report.consolidation = digest.consolidation;
  report.cross_connections = digest.cross_connections;
  report.task_reminders = std::move(digest.task_reminders);
  report.records_archived = digest.records_archived;

  // 18-21.
  (void)flush();
  clear_recall_caches();
  cycle.timings.total_ms = elapsed_ms(cycle_start, phase_clock_now());
  fill_dominant_phase(cycle.timings, cycle.hotspots);
  report.timings = cycle.timings;
  report.hotspots = cycle.hotspots;

  // 22-23.
  report.concept_surface =
      concept_surface_telemetry(flags_.concept_surface.load(std::memory_order_relaxed), layers_.concepts,
                                recall_.concept_surface);
  report.timestamp = format_rfc3339_utc(env_.now());
  const uint64_t cumulative_corrections = read_correction_log().size();

  // 24-25. The reflection looks at the four leading contradiction clusters of
  //        every namespace, read under a view of their own.
  report.trend_summary =
      append_trend_snapshot(report, cumulative_corrections, maintenance_.trends, persistence_target_, env_);
  const std::vector<ContradictionCluster> clusters = get_contradiction_clusters(std::nullopt, 4);
  report.reflection = append_reflection_summary(report, clusters, records_.records, cycle.config.task_tag,
                                                maintenance_.reflection_summaries, persistence_target_, env_);

  span.record("total_records", report.total_records);
  span.record("total_ms", report.timings.total_ms);
  return report;
}

}  // namespace vesk
