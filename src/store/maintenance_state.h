// MaintenanceState: the side files and reports of an open store, the
// maintenance switches, and the background work it may run: the background
// worker and the container retention scheduler, both stopped by close.
//
// Locks: each part is taken alone (store/lock_order.h).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "base/guarded.h"
#include "cognitive/maintenance_trend_snapshot.h"
#include "cognitive/persistence_manifest.h"
#include "cognitive/reflection_summary.h"
#include "cognitive/startup_validation.h"
#include "store/lock_order.h"

namespace vesk {

// The background maintenance worker's state: nothing in the system starts
// one yet, but close() stops it when present.
struct BackgroundState {
  std::atomic<bool> running{false};
  std::mutex thread_mu;
  std::optional<std::thread> thread;
  std::atomic<uint64_t> cycle{0};
};

// The switches and limits that only the maintenance cycle reads.
struct MaintenanceSettings {
  std::array<bool, 3> switches{true, true, true};
  uint64_t limit = 512;
  uint64_t count = 3;
};

// A running container retention scheduler; stopping sends its thread the
// stop message and joins it.
struct RetentionScheduler {
  std::function<void()> stop_and_join;
};

struct MaintenanceState {
  Guarded<std::vector<MaintenanceTrendSnapshot>> trends{lock_order::kTrends};
  Guarded<std::vector<ReflectionSummary>> reflection_summaries{lock_order::kReflections};
  Guarded<PersistenceManifest> persistence_manifest{lock_order::kManifest};
  // The report of this open; never changes afterwards.
  Guarded<StartupValidationReport> startup_report{lock_order::kStartupReport};
  Guarded<MaintenanceSettings> settings{lock_order::kMaintenanceSettings};
  Guarded<std::shared_ptr<BackgroundState>> background{lock_order::kBackground};
  MutexGuarded<std::unique_ptr<RetentionScheduler>> retention_scheduler{lock_order::kRetentionScheduler};
};

}  // namespace vesk
