// MaintenanceState: the side files and reports of an open store, the
// maintenance switches, the turn that keeps maintenance cycles apart, and the
// background work it may run: the background worker and the container
// retention scheduler, both stopped by close.
//
// Locks: each part is taken alone (store/lock_order.h), but the cycle turn,
// which a maintenance cycle holds from its start to its end and so comes
// before every other lock of the store.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/guarded.h"
#include "base/string_hash.h"
#include "cognitive/maintenance_trend_snapshot.h"
#include "cognitive/persistence_manifest.h"
#include "cognitive/reflection_summary.h"
#include "cognitive/startup_validation.h"
#include "exchange/capsule/retention_scheduler.h"
#include "maintenance/background_worker_state.h"
#include "store/lock_order.h"

namespace vesk {

// Held for a whole maintenance cycle, so that cycles run one at a time;
// guards no data.
struct MaintenanceTurn {};

// The switches and limits that only the maintenance cycle reads.
struct MaintenanceSettings {
  std::array<bool, 3> switches{true, true, true};
  uint64_t limit = 512;
  uint64_t count = 3;
};

struct MaintenanceState {
  Guarded<std::vector<MaintenanceTrendSnapshot>> trends{lock_order::kTrends};
  Guarded<std::vector<ReflectionSummary>> reflection_summaries{lock_order::kReflections};
  Guarded<PersistenceManifest> persistence_manifest{lock_order::kManifest};
  // The report of this open; never changes afterwards.
  Guarded<StartupValidationReport> startup_report{lock_order::kStartupReport};
  Guarded<MaintenanceSettings> settings{lock_order::kMaintenanceSettings};
  // Empty at open; start_background installs an idle state, stop_background
  // and close remove it.
  Guarded<std::shared_ptr<BackgroundWorkerState>> background{lock_order::kBackground};
  MutexGuarded<MaintenanceTurn> cycle_turn{lock_order::kMaintenanceCycle};
  // The container retention scheduler, or null; held while a replaced or
  // stopped one's thread is joined.
  MutexGuarded<std::unique_ptr<RetentionScheduler>> retention_scheduler{lock_order::kRetentionScheduler};
  // The layers' id sets of the previous cycle (layer_stability.h): empty at
  // open, replaced by every cycle, never saved.
  Guarded<StringSet> previous_belief_ids{lock_order::kPreviousBeliefIds};
  Guarded<StringSet> previous_concept_ids{lock_order::kPreviousConceptIds};
  Guarded<StringSet> previous_causal_ids{lock_order::kPreviousCausalIds};
  Guarded<StringSet> previous_policy_ids{lock_order::kPreviousPolicyIds};
};

}  // namespace vesk
