// An audit entity on its record: the id rules, the reading and writing of the
// four reserved metadata entries (their forms are in audit_metadata.h), the
// resolution of a caller's identifier to a record, and the journal patch that
// carries a change of them.
//
// An entity id names one audit entity among all records of a store. It
// defaults to its record's id and may be chosen once by the caller. Rules,
// checked in this order, the first broken one giving the (Runtime) error:
//   1. not empty once trimmed of White_Space   "audit entity ID cannot be empty"
//   2. at most 512 bytes once trimmed          "audit entity ID cannot exceed 512 bytes"
//   3. no U+0000..U+001F, U+007F..U+009F       "audit entity ID cannot contain control characters"
//   4. equal to its trimmed form               "audit entity ID cannot have outer whitespace"
// Ids are compared byte for byte.
//
// Nothing here takes a lock: the readers want one consistent record (the
// caller holds the record map's lock or owns a copy), the writers change the
// copy they are given, and the resolution reads the map under its caller's
// lock.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audit/audit_metadata.h"
#include "base/status.h"
#include "model/journal_patch.h"
#include "model/metadata_value_index.h"
#include "model/record.h"
#include "model/record_map.h"

namespace vesk {

Status validate_audit_entity_id(std::string_view id);

// The record's entity id, or none when it is not an audit entity.
std::optional<std::string> record_audit_entity_id(const Record& record);

// The record's status history and outgoing edges; an absent entry is an
// empty list. A value that does not read fails with "record {id} has invalid
// {key}", the JSON reader's error kept as its cause.
Result<std::vector<AuditStatusEvent>> read_audit_status_events(const Record& record);
Result<std::vector<StoredAuditEdge>> read_audit_edges(const Record& record);

// Validates the id, refuses an empty history ("audit status history cannot
// be empty"), then sets the entity id, the kind and the history, each
// replacing an earlier value. On failure the record is unchanged.
Status write_audit_entity_metadata(Record& record, std::string_view entity_id, AuditEntityKind kind,
                                   std::span<const AuditStatusEvent> events);
// Sets the edge list as given, replacing an earlier one.
void write_audit_edges(Record& record, std::span<const StoredAuditEdge> edges);
// The order a stored edge list keeps: stably by relation (its value, not its
// name), then target id (bytes), then recorded_at (the total order of
// floats).
void sort_audit_edges(std::vector<StoredAuditEdge>& edges);

// The record an identifier denotes: the record with that id when there is
// one (a record id wins over an equal entity id of another record), else
// the first record in map order whose entity id it is, else none. `index`
// describes `records` (only its entity id key is asked).
std::optional<std::string> resolve_audit_record_id(const RecordMap& records, const MetadataValueIndex& index,
                                                   std::string_view identifier);

// The patch of a change of audit metadata: the record's id, the current
// value of each listed key the record holds (absent keys are left out) and
// the given connection patches.
RecordPatch record_metadata_patch(const Record& record, std::span<const std::string_view> keys,
                                  std::vector<TypedConnectionPatch> connections);

}  // namespace vesk
