#include "audit/audit_vocabulary.h"

#include <string>

#include "model/unicode_text.h"

namespace vesk {
namespace {

// The value whose name the caller's text is, or the Value error naming
// `type`.
template <class E, size_t N>
Result<E> parse_name(std::string_view text, std::string_view type, std::string_view (*name_of)(E)) {
  std::string folded(trim_unicode_white_space(text));
  for (char& c : folded) c = ascii_lower(c);
  if (!folded.empty()) {
    for (size_t i = 0; i < N; ++i) {
      const E v = static_cast<E>(i);
      if (name_of(v) == folded) return v;
    }
  }
  return Status::Value("unsupported " + std::string(type) + ": '" + std::string(text) + "'");
}

bool claim_or_memory(AuditEntityKind k) { return k == AuditEntityKind::Claim || k == AuditEntityKind::Memory; }

}  // namespace

Result<AuditEntityKind> parse_audit_entity_kind(std::string_view text) {
  return parse_name<AuditEntityKind, 7>(text, "AuditEntityKind", audit_entity_kind_name);
}

Result<AuditEntityStatus> parse_audit_entity_status(std::string_view text) {
  return parse_name<AuditEntityStatus, 10>(text, "AuditEntityStatus", audit_entity_status_name);
}

Result<AuditRelationKind> parse_audit_relation_kind(std::string_view text) {
  return parse_name<AuditRelationKind, 11>(text, "AuditRelationKind", audit_relation_kind_name);
}

Status check_audit_relation_kinds(AuditEntityKind source, AuditEntityKind target, AuditRelationKind relation) {
  using K = AuditEntityKind;
  bool allowed = false;
  switch (relation) {
    case AuditRelationKind::Supports:
    case AuditRelationKind::Refutes:
      allowed = claim_or_memory(target);
      break;
    case AuditRelationKind::Contradicts:
    case AuditRelationKind::Supersedes:
      allowed = claim_or_memory(source) && claim_or_memory(target);
      break;
    case AuditRelationKind::DerivedFrom:
      allowed = source == target;
      break;
    case AuditRelationKind::RecalledFor:
    case AuditRelationKind::UsedBy:
      allowed = claim_or_memory(source) && target == K::Decision;
      break;
    case AuditRelationKind::UsedEvidence:
      allowed = source == K::Decision && claim_or_memory(target);
      break;
    case AuditRelationKind::Caused:
      allowed = (source == K::Decision || source == K::Action) && target == K::Action;
      break;
    case AuditRelationKind::Produced:
      allowed = source == K::Action && target == K::Artifact;
      break;
    case AuditRelationKind::VerifiedBy:
      allowed = source == K::Artifact && target == K::Verification;
      break;
  }
  if (allowed) return Status::Ok();
  return Status::Runtime("relation '" + std::string(audit_relation_kind_name(relation)) + "' is invalid for " +
                         std::string(audit_entity_kind_name(source)) + " -> " +
                         std::string(audit_entity_kind_name(target)));
}

}  // namespace vesk
