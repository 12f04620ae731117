#include "maintenance/cycle_reflection.h"

namespace vesk {

ReflectionSummary append_reflection_summary(const MaintenanceReport&, const std::vector<ContradictionCluster>&,
                                            const Guarded<RecordMap>&, Guarded<std::vector<ReflectionSummary>>&,
                                            const PersistenceTarget&, Env&) {
  return ReflectionSummary{};
}

}  // namespace vesk
