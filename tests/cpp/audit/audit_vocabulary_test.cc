#include "audit/audit_vocabulary.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vesk {
namespace {

using K = AuditEntityKind;
using R = AuditRelationKind;

TEST(AuditVocabulary, NamesAreTrimmedAndAsciiFoldedThenMatchedExactly) {
  const struct {
    std::string text;
    std::optional<AuditEntityKind> want;
  } cases[] = {
      {"claim", K::Claim},
      {" decision ", K::Decision},
      {"CLAIM", K::Claim},
      {"\u2003Verification\t", K::Verification},  // an em space is White_Space too
      {"claims", std::nullopt},
      {" claimz", std::nullopt},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"cl aim", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("'" + c.text + "'");
    auto kind = parse_audit_entity_kind(c.text);
    if (c.want) {
      ASSERT_TRUE(kind.ok()) << kind.status().message();
      EXPECT_EQ(*kind, *c.want);
    } else {
      EXPECT_EQ(kind.status().kind(), ErrorKind::Value);
      EXPECT_EQ(kind.status().message(), "unsupported AuditEntityKind: '" + c.text + "'");
    }
  }
  EXPECT_EQ(*parse_audit_entity_status(" Verified "), AuditEntityStatus::Verified);
  EXPECT_EQ(parse_audit_entity_status("acepted").status().message(), "unsupported AuditEntityStatus: 'acepted'");
  EXPECT_EQ(*parse_audit_relation_kind("USED_BY"), R::UsedBy);
  EXPECT_EQ(parse_audit_relation_kind("used-by").status().message(), "unsupported AuditRelationKind: 'used-by'");
}

TEST(AuditVocabulary, EachRelationJoinsOnlyItsKinds) {
  const struct {
    R relation;
    K source, target;
    bool allowed;
  } cases[] = {
      {R::Supports, K::Verification, K::Memory, true},
      {R::Refutes, K::Source, K::Claim, true},
      {R::Supports, K::Claim, K::Decision, false},
      {R::Contradicts, K::Claim, K::Memory, true},
      {R::Supersedes, K::Decision, K::Claim, false},
      {R::DerivedFrom, K::Claim, K::Claim, true},
      {R::DerivedFrom, K::Artifact, K::Artifact, true},
      {R::DerivedFrom, K::Claim, K::Memory, false},
      {R::RecalledFor, K::Memory, K::Decision, true},
      {R::UsedBy, K::Claim, K::Action, false},
      {R::UsedEvidence, K::Decision, K::Memory, true},
      {R::UsedEvidence, K::Action, K::Memory, false},
      {R::Caused, K::Decision, K::Action, true},
      {R::Caused, K::Action, K::Action, true},
      {R::Caused, K::Claim, K::Action, false},
      {R::Produced, K::Action, K::Artifact, true},
      {R::Produced, K::Decision, K::Artifact, false},
      {R::VerifiedBy, K::Artifact, K::Verification, true},
      {R::VerifiedBy, K::Artifact, K::Claim, false},
  };
  for (const auto& c : cases) {
    Status s = check_audit_relation_kinds(c.source, c.target, c.relation);
    EXPECT_EQ(s.ok(), c.allowed) << audit_relation_kind_name(c.relation) << " " << audit_entity_kind_name(c.source)
                                 << " -> " << audit_entity_kind_name(c.target);
  }
  EXPECT_EQ(check_audit_relation_kinds(K::Claim, K::Memory, R::DerivedFrom).message(),
            "relation 'derived_from' is invalid for claim -> memory");
}

}  // namespace
}  // namespace vesk
