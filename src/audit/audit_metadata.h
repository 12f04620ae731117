// Audit metadata forms: what the reserved "vesk.audit.v1.*" metadata entries
// of an audit entity's record hold.
//
//   "vesk.audit.v1.entity_id"      the entity id, plain text
//   "vesk.audit.v1.entity_kind"    the kind as a JSON string, quotes included
//   "vesk.audit.v1.status_events"  JSON array of AuditStatusEvent, oldest first
//   "vesk.audit.v1.edges"          JSON array of StoredAuditEdge ("[]" if none)
//
// The three enumerations are written as their lower-case names and read from
// that string or from an object whose only member is the name with the value
// null; names are matched exactly.
//
// AuditStatusEvent   {"s": status, "r": recorded, "f": from?, "u": until?}
// StoredAuditEdge    {"r": relation, "t": target, "k": recorded, "f": from?, "u": until?}
//
// Times are 64-bit Unix seconds; the window members are written only when
// present, and absent or null reads as none. Each element also reads from the
// positional array of all its fields (four or five, no fewer, no more).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/json_struct.h"
#include "model/record.h"

namespace vesk {

inline constexpr std::string_view kAuditMetadataPrefix = "vesk.audit.v1.";
inline constexpr std::string_view kAuditEntityIdKey = "vesk.audit.v1.entity_id";
inline constexpr std::string_view kAuditEntityKindKey = "vesk.audit.v1.entity_kind";
inline constexpr std::string_view kAuditStatusEventsKey = "vesk.audit.v1.status_events";
inline constexpr std::string_view kAuditEdgesKey = "vesk.audit.v1.edges";

enum class AuditEntityKind : uint8_t { Source, Claim, Memory, Decision, Action, Artifact, Verification };

enum class AuditEntityStatus : uint8_t {
  Candidate,
  Observed,
  Accepted,
  Verified,
  Rejected,
  Superseded,
  Blocked,
  Decided,
  Completed,
  Produced,
};

enum class AuditRelationKind : uint8_t {
  Supports,
  Refutes,
  Contradicts,
  Supersedes,
  DerivedFrom,
  RecalledFor,
  UsedEvidence,
  UsedBy,
  Caused,
  Produced,
  VerifiedBy,
};

std::string_view audit_entity_kind_name(AuditEntityKind v);
std::string_view audit_entity_status_name(AuditEntityStatus v);
std::string_view audit_relation_kind_name(AuditRelationKind v);

template <>
struct JsonCodec<AuditEntityKind> {
  static bool read(JsonReader& r, AuditEntityKind& v);
  static void write(JsonWriter& w, const AuditEntityKind& v) { w.string(audit_entity_kind_name(v)); }
};
template <>
struct JsonCodec<AuditEntityStatus> {
  static bool read(JsonReader& r, AuditEntityStatus& v);
  static void write(JsonWriter& w, const AuditEntityStatus& v) { w.string(audit_entity_status_name(v)); }
};
template <>
struct JsonCodec<AuditRelationKind> {
  static bool read(JsonReader& r, AuditRelationKind& v);
  static void write(JsonWriter& w, const AuditRelationKind& v) { w.string(audit_relation_kind_name(v)); }
};

struct AuditStatusEvent {
  AuditEntityStatus status = AuditEntityStatus::Candidate;
  double recorded_at = 0.0;
  std::optional<double> valid_from;
  std::optional<double> valid_until;

  bool operator==(const AuditStatusEvent&) const = default;
};

struct StoredAuditEdge {
  AuditRelationKind relation = AuditRelationKind::Supports;
  std::string target;
  double recorded_at = 0.0;
  std::optional<double> valid_from;
  std::optional<double> valid_until;

  bool operator==(const StoredAuditEdge&) const = default;
};

template <>
struct JsonCodec<AuditStatusEvent> : JsonStructCodec<AuditStatusEvent> {
  static const JsonStruct<AuditStatusEvent>& fields();
};
template <>
struct JsonCodec<StoredAuditEdge> : JsonStructCodec<StoredAuditEdge> {
  static const JsonStruct<StoredAuditEdge>& fields();
};

// The entity kind of an audit record. Fails with "record {id} is missing
// vesk.audit.v1.entity_kind" when the entry is absent, and with "record {id}
// has invalid vesk.audit.v1.entity_kind" when it is not one JSON kind value
// (whitespace around it allowed), the JSON reader's error kept as its cause.
Result<AuditEntityKind> read_audit_entity_kind(const Record& record);

// The lists held in the metadata values; the JSON reader's error otherwise.
Result<std::vector<AuditStatusEvent>> parse_audit_status_events(std::string_view text);
Result<std::vector<StoredAuditEdge>> parse_audit_edges(std::string_view text);

// The metadata values: the kind with its quotes, the event list (refusing an
// empty history with "audit status history cannot be empty"), the edge list.
std::string audit_entity_kind_value(AuditEntityKind kind);
Result<std::string> audit_status_events_value(std::span<const AuditStatusEvent> events);
std::string audit_edges_value(std::span<const StoredAuditEdge> edges);

}  // namespace vesk
