#include "audit/audit_entry.h"

namespace vesk {

const JsonStruct<AuditEntry>& JsonCodec<AuditEntry>::fields() {
  static const JsonStruct<AuditEntry> s("struct AuditEntry",
                                        {
                                            json_field<&AuditEntry::timestamp>("timestamp"),
                                            json_field<&AuditEntry::time_iso>("time_iso"),
                                            json_field<&AuditEntry::action>("action"),
                                            json_field<&AuditEntry::context>("context", kJsonOmitEmpty),
                                            json_field<&AuditEntry::session_id>("session_id"),
                                        });
  return s;
}

std::string serialize_audit_entry(const AuditEntry& entry) { return json_to_string(entry); }

Result<AuditEntry> parse_audit_entry(std::string_view json) { return json_parse<AuditEntry>(json); }

}  // namespace vesk
