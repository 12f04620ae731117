// The explainability bundle of one record: its explanation and provenance
// chain, every correction that touches the record or the knowledge linked
// to it, the reflection findings around it, the belief instability summary
// and the maintenance trend summary, gathered for one answer.
//
// Corrections are those of the correction log whose target kind and id
// equal, byte for byte, in log order: the record's ("record"), its belief's
// ("belief", none without a belief), and, for each linked causal pattern and
// policy hint in link order, skipping ids met before, theirs
// ("causal_pattern", "policy_hint"), appended.
#pragma once

#include <string>
#include <vector>

#include "audit/correction_log_entry.h"
#include "cognitive/reflection_summary.h"
#include "maintenance/maintenance_trend_summary.h"
#include "recall/explained_item.h"
#include "reports/belief_instability.h"
#include "reports/provenance_chain.h"
#include "reports/reflection_digest.h"

namespace vesk {

struct ExplainabilityBundle {
  std::string record_id;
  ExplainedRecallItem explanation;
  ProvenanceChain provenance;
  std::vector<CorrectionLogEntry> record_corrections;
  std::vector<CorrectionLogEntry> belief_corrections;
  std::vector<CorrectionLogEntry> causal_corrections;
  std::vector<CorrectionLogEntry> policy_corrections;
  ReflectionDigest reflection_digest;
  // Findings of the newest summaries (newest first, findings in stored
  // order) that name the record among their related ids or share its
  // namespace; no de-duplication, no limit.
  std::vector<ReflectionFinding> related_reflection_findings;
  BeliefInstabilitySummary belief_instability;
  MaintenanceTrendSummary maintenance_trends;
};

// Sets the four correction lists of `bundle` from `log`, by the rule above,
// for the bundle's explanation.
void collect_bundle_corrections(const std::vector<CorrectionLogEntry>& log, ExplainabilityBundle& bundle);

// The findings of `summaries` (newest first) related to the record.
std::vector<ReflectionFinding> related_reflection_findings(const std::vector<ReflectionSummary>& summaries,
                                                           std::string_view record_id, std::string_view namespace_);

}  // namespace vesk
