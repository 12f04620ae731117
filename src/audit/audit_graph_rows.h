// Row shapes in which the audit graph reports entities and edges: JSON objects
// (dicts for Python callers) with every key always present, an absent
// optional value written as null.
//
// AuditGraphNode: "entity_id" "record_id" "namespace" "kind" "status"
//   "status_recorded_at" "record_created_at" "valid_from" "valid_until"
//   "business_time_valid" "content_preview"
// StoredAuditGraphEdge: "from_entity_id" "from_record_id" "to_entity_id"
//   "to_record_id" "relation" "recorded_at" "valid_from" "valid_until"
#pragma once

#include <optional>
#include <string>

#include "audit/audit_metadata.h"

namespace vesk {

struct AuditGraphNode {
  std::string entity_id;
  std::string record_id;
  std::string namespace_;
  AuditEntityKind kind = AuditEntityKind::Source;
  AuditEntityStatus status = AuditEntityStatus::Candidate;
  double status_recorded_at = 0.0;
  double record_created_at = 0.0;
  std::optional<double> valid_from;
  std::optional<double> valid_until;
  bool business_time_valid = false;
  std::string content_preview;

  bool operator==(const AuditGraphNode&) const = default;
};

struct StoredAuditGraphEdge {
  std::string from_entity_id;
  std::string from_record_id;
  std::string to_entity_id;
  std::string to_record_id;
  AuditRelationKind relation = AuditRelationKind::Supports;
  double recorded_at = 0.0;
  std::optional<double> valid_from;
  std::optional<double> valid_until;

  bool operator==(const StoredAuditGraphEdge&) const = default;
};

template <>
struct JsonCodec<AuditGraphNode> : JsonStructCodec<AuditGraphNode> {
  static const JsonStruct<AuditGraphNode>& fields();
};
template <>
struct JsonCodec<StoredAuditGraphEdge> : JsonStructCodec<StoredAuditGraphEdge> {
  static const JsonStruct<StoredAuditGraphEdge>& fields();
};

}  // namespace vesk
