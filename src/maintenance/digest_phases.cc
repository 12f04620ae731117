#include "maintenance/digest_phases.h"

namespace vesk {

DigestPhasesOutcome maintenance_digest_phases(const DigestPhaseParts& parts, CycleContext& cycle) {
  cycle.hotspots.records_after_cycle = parts.records.read()->size();
  return DigestPhasesOutcome{};
}

}  // namespace vesk
