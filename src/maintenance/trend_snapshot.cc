#include "maintenance/trend_snapshot.h"

namespace vesk {

MaintenanceTrendSummary append_trend_snapshot(const MaintenanceReport&, uint64_t,
                                              Guarded<std::vector<MaintenanceTrendSnapshot>>& history,
                                              const PersistenceTarget&, Env&) {
  auto kept = history.read();
  return maintenance_trend_summary(*kept);
}

}  // namespace vesk
