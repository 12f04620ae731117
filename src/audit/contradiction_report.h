// Contradiction reports: a claim, the claim on the other end of a conflicting
// edge, the evidence edges of each, and the operation recommended to resolve
// the conflict. Written for callers only; nothing reads them back.
//
//   {"claim": node, "opposing_claim": node, "relation": "contradicts" or
//    "supersedes", "claim_sources": [edge row], "opposing_sources": [edge row],
//    "recommended_operation": text}
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audit/audit_graph_rows.h"

namespace vesk {

inline constexpr std::string_view kPreferCurrentVersion = "prefer_current_version_and_retain_superseded_history";
inline constexpr std::string_view kRetainRejectedClaim = "retain_rejected_claim_as_audit_scar";
inline constexpr std::string_view kManualReview = "manual_review_required";

struct ContradictionReport {
  AuditGraphNode claim;
  AuditGraphNode opposing_claim;
  AuditRelationKind relation = AuditRelationKind::Contradicts;
  std::vector<StoredAuditGraphEdge> claim_sources;
  std::vector<StoredAuditGraphEdge> opposing_sources;
  std::string recommended_operation;

  bool operator==(const ContradictionReport&) const = default;
};

template <>
struct JsonCodec<ContradictionReport> : JsonStructCodec<ContradictionReport> {
  static const JsonStruct<ContradictionReport>& fields();
};

// Keep the current version when either side is superseded or the edge is a
// supersession; keep a rejected or blocked side as a scar when exactly one
// side is; otherwise a person has to decide.
std::string_view recommend_conflict_operation(AuditEntityStatus claim, AuditEntityStatus opposing,
                                              AuditRelationKind relation);

// The JSON array of the reports ("[]" when there is none).
std::string contradiction_reports_json(std::span<const ContradictionReport> reports);

}  // namespace vesk
