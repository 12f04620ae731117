#include "audit/contradiction_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vesk {
namespace {

using ::testing::StartsWith;

AuditGraphNode node(std::string entity, AuditEntityStatus status) {
  AuditGraphNode n;
  n.entity_id = std::move(entity);
  n.record_id = "aaaaaaaaaaaa";
  n.namespace_ = "default";
  n.kind = AuditEntityKind::Claim;
  n.status = status;
  n.status_recorded_at = 2.5;
  n.record_created_at = 1.0;
  n.content_preview = "the sky is green";
  return n;
}

TEST(ContradictionReport, GraphRowsWriteEveryKey) {
  EXPECT_EQ(json_to_string(node("c1", AuditEntityStatus::Accepted)),
            R"({"entity_id":"c1","record_id":"aaaaaaaaaaaa","namespace":"default","kind":"claim",)"
            R"("status":"accepted","status_recorded_at":2.5,"record_created_at":1.0,"valid_from":null,)"
            R"("valid_until":null,"business_time_valid":false,"content_preview":"the sky is green"})");
  StoredAuditGraphEdge e{"c1", "aaaaaaaaaaaa", "c2", "bbbbbbbbbbbb", AuditRelationKind::Contradicts, 4.0, 1.0,
                         std::nullopt};
  EXPECT_EQ(json_to_string(e),
            R"({"from_entity_id":"c1","from_record_id":"aaaaaaaaaaaa","to_entity_id":"c2",)"
            R"("to_record_id":"bbbbbbbbbbbb","relation":"contradicts","recorded_at":4.0,"valid_from":1.0,)"
            R"("valid_until":null})");

  ContradictionReport report{node("c1", AuditEntityStatus::Superseded), node("c2", AuditEntityStatus::Accepted),
                             AuditRelationKind::Contradicts, {e}, {}, std::string(kPreferCurrentVersion)};
  std::string json = contradiction_reports_json(std::vector<ContradictionReport>{report});
  EXPECT_THAT(json, StartsWith(R"([{"claim":{"entity_id":"c1",)"));
  EXPECT_NE(json.find(R"(},"relation":"contradicts","claim_sources":[{"from_entity_id":"c1")"), std::string::npos);
  EXPECT_NE(json.find(R"(}],"opposing_sources":[],"recommended_operation":"prefer_current_version_and_retain_superseded_history"}])"),
            std::string::npos);
  EXPECT_EQ(contradiction_reports_json({}), "[]");
}

TEST(ContradictionReport, Recommendation) {
  using S = AuditEntityStatus;
  using R = AuditRelationKind;
  const struct {
    S claim, opposing;
    R relation;
    std::string_view want;
  } cases[] = {
      {S::Superseded, S::Rejected, R::Contradicts, kPreferCurrentVersion},
      {S::Accepted, S::Superseded, R::Contradicts, kPreferCurrentVersion},
      {S::Accepted, S::Accepted, R::Supersedes, kPreferCurrentVersion},
      {S::Rejected, S::Accepted, R::Contradicts, kRetainRejectedClaim},
      {S::Observed, S::Blocked, R::Contradicts, kRetainRejectedClaim},
      {S::Rejected, S::Blocked, R::Contradicts, kManualReview},
      {S::Accepted, S::Verified, R::Contradicts, kManualReview},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(recommend_conflict_operation(c.claim, c.opposing, c.relation), c.want)
        << audit_entity_status_name(c.claim) << " vs " << audit_entity_status_name(c.opposing);
  }
}

}  // namespace
}  // namespace vesk
