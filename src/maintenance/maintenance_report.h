// The maintenance report: everything one maintenance cycle did and measured,
// handed back by the cycle. The phase reports (phase_reports.h) say what each
// phase changed, the accounting (cycle_accounting.h) how the cycle ran; the
// reflection summary and the trend summary are the ones this cycle appended
// and computed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cognitive/reflection_summary.h"
#include "maintenance/cycle_accounting.h"
#include "maintenance/maintenance_trend_summary.h"
#include "maintenance/phase_reports.h"

namespace vesk {

struct MaintenanceReport {
  std::string timestamp;
  DecayReport decay;
  ReflectReport reflect;
  EpistemicPhaseReport epistemic;
  uint64_t insights_found = 0;
  BeliefPhaseReport belief;
  ConceptPhaseReport concept_;
  CausalPhaseReport causal;
  PolicyPhaseReport policy;
  FeedbackAuditReport feedback;
  ConsolidationReport consolidation;
  uint64_t cross_connections = 0;
  std::vector<std::string> task_reminders;
  uint64_t records_archived = 0;
  uint64_t total_records = 0;
  uint64_t experience_injected = 0;  // records taken from the experience queue
  PhaseTimings timings;
  LayerStability stability;
  ConceptSurfaceTelemetry concept_surface;
  ReflectionSummary reflection;
  MaintenanceTrendSummary trend_summary;
  MaintenanceHotspots hotspots;

  bool operator==(const MaintenanceReport&) const = default;
};

}  // namespace vesk
