// AuditEntry: one line of the audit journal.
//
// Written as one compact JSON object with the keys, in order:
//   "timestamp"   u64 Unix milliseconds of the append
//   "time_iso"    the same instant's whole seconds as "YYYY-MM-DDTHH:MM:SSZ"
//   "action"      the AuditAction
//   "context"     free text, only when present
//   "session_id"  "session_" and the journal's opening time in milliseconds
// Read with members in any order (others skipped, duplicates refused);
// "context" may be absent or null, the other four are required.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audit/audit_action.h"
#include "model/json_struct.h"

namespace vesk {

struct AuditEntry {
  uint64_t timestamp = 0;
  std::string time_iso;
  AuditAction action;
  std::optional<std::string> context;
  std::string session_id;

  bool operator==(const AuditEntry&) const = default;
};

template <>
struct JsonCodec<AuditEntry> : JsonStructCodec<AuditEntry> {
  static const JsonStruct<AuditEntry>& fields();
};

// The entry's JSON line (no line feed).
std::string serialize_audit_entry(const AuditEntry& entry);
// One entry from a whole line of JSON; the JSON reader's error otherwise.
Result<AuditEntry> parse_audit_entry(std::string_view json);

}  // namespace vesk
