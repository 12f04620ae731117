#include "storage/correction_entry.h"

#include <string>

namespace vesk {

Status append_correction_entry(AuditJournal& journal, std::string_view target_kind, std::string_view target_id,
                               std::string_view operation, std::string_view reason) {
  return journal.append_audit_entry(AuditAction::Correction{std::string(target_kind), std::string(target_id),
                                                            std::string(operation), std::string(reason)});
}

}  // namespace vesk
