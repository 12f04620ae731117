// append_correction_entry: one "correction" entry of the audit journal, the
// record of a change the system made to its own knowledge (a target of some
// kind, the operation applied to it and why), without context.
#pragma once

#include <string_view>

#include "base/status.h"
#include "storage/audit_journal.h"

namespace vesk {

// Fails as AuditJournal::append_audit_entry does; after the journal's close
// it writes nothing and succeeds.
Status append_correction_entry(AuditJournal& journal, std::string_view target_kind, std::string_view target_id,
                               std::string_view operation, std::string_view reason);

}  // namespace vesk
