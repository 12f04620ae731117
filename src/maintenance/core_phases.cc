#include "maintenance/core_phases.h"

#include <algorithm>

#include "base/string_hash.h"
#include "maintenance/archive_protection.h"
#include "maintenance/epistemic_update.h"
#include "maintenance/insight_detectors.h"
#include "maintenance/phase_clock.h"
#include "maintenance/reflection_pass.h"
#include "maintenance/route_state_decay.h"

namespace vesk {
namespace {

constexpr uint32_t kIdentityTenureActivations = 20;
constexpr float kIdentityTenureStrength = 0.9f;
constexpr float kArchiveFloor = 0.05f;
constexpr float kLinkFloor = 0.05f;
constexpr float kLinkFade = 0.99f;

bool has_tag_in(const Record& r, const StringSet& set) {
  return std::any_of(r.tags.begin(), r.tags.end(), [&](const std::string& t) { return set.contains(t); });
}

void fix_levels(RecordMap& records, const TagTaxonomy& taxonomy) {
  for (auto& [id, r] : records) {
    if (r.level != Level::Identity || r.pinned || has_tag_in(r, taxonomy.identity_tags)) continue;
    if (!has_tag_in(r, taxonomy.non_identity_tags) && r.activation_count >= kIdentityTenureActivations &&
        r.strength >= kIdentityTenureStrength) {
      continue;
    }
    r.level = Level::Domain;
  }
}

DecayReport decay_phase(RecordMap& records, const StringSet& protected_tags, std::vector<std::string>& removed) {
  DecayReport out;
  out.decayed = records.size();
  StringSet archive;
  std::vector<std::string> archived;
  for (auto& [id, r] : records) {
    const float strength = route_state_decay_factor(r);
    if (!(strength >= kArchiveFloor) && !is_archive_protected(r, protected_tags)) {
      archive.insert(id);
      archived.push_back(id);
    }
  }
  std::vector<std::string> drop;
  for (auto& [id, r] : records) {
    // The floor is tested on the weight before this cycle's fade.
    drop.clear();
    for (const auto& [target, weight] : r.connections)
      if (!(weight >= kLinkFloor) || archive.contains(target)) drop.push_back(target);
    for (const std::string& target : drop) {
      r.connections.erase(target);
      r.connection_types.erase(target);
    }
    for (auto& [target, weight] : r.connections) weight *= kLinkFade;
  }
  for (const std::string& id : archived) records.erase(id);
  out.archived = archived.size();
  removed.insert(removed.end(), archived.begin(), archived.end());
  return out;
}

// Runs `phase` and stores its time in `ms`.
template <class F>
void timed(double& ms, F&& phase) {
  const PhaseInstant start = phase_clock_now();
  phase();
  ms = elapsed_ms(start, phase_clock_now());
}

}  // namespace

CorePhasesResult maintenance_core_phases(RecordMap& records, CycleContext& cycle) {
  CorePhasesResult out;
  out.total_records = records.size();
  cycle.hotspots.records_before_cycle = out.total_records;
  const MaintenanceConfig& config = cycle.config;
  const TagTaxonomy& taxonomy = cycle.taxonomy;
  PhaseTimings& t = cycle.timings;

  timed(t.level_fix_ms, [&] {
    // An interval of 0 would divide by zero: it counts as 1, a fix every
    // cycle, as the cycle number 0 gives with any interval.
    const uint64_t interval = std::max<uint64_t>(config.level_fix_interval, 1);
    if (cycle.cycle_number % interval == 0) fix_levels(records, taxonomy);
  });
  timed(t.decay_ms, [&] {
    if (config.decay_enabled) out.decay = decay_phase(records, taxonomy.archive_protected_tags, out.removed_ids);
  });
  timed(t.epistemic_ms, [&] { out.epistemic = update_epistemic_state(records); });
  timed(t.reflect_ms, [&] {
    if (!config.reflect_enabled) return;
    PromotionAndArchival pass = promote_and_archive(records, taxonomy.archive_protected_tags, {});
    out.reflect = pass.report;
    out.removed_ids.insert(out.removed_ids.end(), pass.archived.begin(), pass.archived.end());
  });
  timed(t.insights_ms, [&] {
    if (config.insights_enabled) out.insights_found = count_insights(records, cycle.env);
  });
  return out;
}

}  // namespace vesk
