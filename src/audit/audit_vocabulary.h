// The audit vocabulary as callers write it, and the kinds of entity each
// relation may join.
//
// A caller's name of a kind, status or relation is trimmed of Unicode
// White_Space, its ASCII letters are lower-cased (nothing else is folded),
// and it must then be one of the names of audit_metadata.h exactly: " Claim "
// is a claim, "claims" and "used-by" are nothing. A refused text is a Value
// error that quotes the text as the caller gave it, untrimmed:
//   "unsupported AuditEntityKind: '{}'", "unsupported AuditEntityStatus: '{}'",
//   "unsupported AuditRelationKind: '{}'".
//
// Relations and the kinds they join ("claim or memory": either of the two):
//
//   supports, refutes          any kind         -> claim or memory
//   contradicts, supersedes    claim or memory  -> claim or memory
//   derived_from               any kind         -> the source's own kind
//   recalled_for, used_by      claim or memory  -> decision
//   used_evidence              decision         -> claim or memory
//   caused                     decision, action -> action
//   produced                   action           -> artifact
//   verified_by                artifact         -> verification
#pragma once

#include <string_view>

#include "audit/audit_metadata.h"
#include "base/status.h"

namespace vesk {

Result<AuditEntityKind> parse_audit_entity_kind(std::string_view text);
Result<AuditEntityStatus> parse_audit_entity_status(std::string_view text);
Result<AuditRelationKind> parse_audit_relation_kind(std::string_view text);

// Success when the table above lets `relation` join an entity of `source`
// kind to one of `target` kind; otherwise the Runtime error
// "relation '{relation}' is invalid for {source} -> {target}".
Status check_audit_relation_kinds(AuditEntityKind source, AuditEntityKind target, AuditRelationKind relation);

}  // namespace vesk
