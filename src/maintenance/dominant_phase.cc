#include "maintenance/dominant_phase.h"

#include <array>
#include <utility>

namespace vesk {

void fill_dominant_phase(const PhaseTimings& t, MaintenanceHotspots& hotspots) {
  const std::array<std::pair<const char*, double>, 13> phases{{
      {"level_fix", t.level_fix_ms},
      {"decay", t.decay_ms},
      {"reflect", t.reflect_ms},
      {"epistemic", t.epistemic_ms},
      {"insights", t.insights_ms},
      {"sdr_build", t.sdr_build_ms},
      {"belief", t.belief_ms},
      {"concept", t.concept_ms},
      {"causal", t.causal_ms},
      {"policy", t.policy_ms},
      {"consolidation", t.consolidation_ms},
      {"cross_connections", t.cross_connections_ms},
      {"tasks_archival", t.tasks_archival_ms},
  }};
  size_t best = 0;
  for (size_t i = 1; i < phases.size(); ++i) {
    if (!(phases[best].second > phases[i].second)) best = i;
  }
  hotspots.dominant_phase = phases[best].first;
  hotspots.dominant_phase_ms = phases[best].second;
  hotspots.dominant_phase_share = t.total_ms > 0.0 ? phases[best].second / t.total_ms : 0.0;
}

}  // namespace vesk
