#include "audit/contradiction_report.h"

namespace vesk {

const JsonStruct<ContradictionReport>& JsonCodec<ContradictionReport>::fields() {
  static const JsonStruct<ContradictionReport> s(
      "struct ContradictionReport",
      {
          json_field<&ContradictionReport::claim>("claim"),
          json_field<&ContradictionReport::opposing_claim>("opposing_claim"),
          json_field<&ContradictionReport::relation>("relation"),
          json_field<&ContradictionReport::claim_sources>("claim_sources"),
          json_field<&ContradictionReport::opposing_sources>("opposing_sources"),
          json_field<&ContradictionReport::recommended_operation>("recommended_operation"),
      });
  return s;
}

std::string_view recommend_conflict_operation(AuditEntityStatus claim, AuditEntityStatus opposing,
                                              AuditRelationKind relation) {
  auto superseded = [](AuditEntityStatus s) { return s == AuditEntityStatus::Superseded; };
  auto refused = [](AuditEntityStatus s) {
    return s == AuditEntityStatus::Rejected || s == AuditEntityStatus::Blocked;
  };
  if (superseded(claim) || superseded(opposing) || relation == AuditRelationKind::Supersedes) {
    return kPreferCurrentVersion;
  }
  if (refused(claim) != refused(opposing)) return kRetainRejectedClaim;
  return kManualReview;
}

std::string contradiction_reports_json(std::span<const ContradictionReport> reports) {
  std::string out;
  JsonWriter w(out);
  w.begin_array();
  for (const ContradictionReport& r : reports) json_write(w, r);
  w.end_array();
  return out;
}

}  // namespace vesk
