// CorrectionLogEntry: one correction entry of the audit journal as the
// correction log lists it (the journal's "correction" action with the time
// and session of its entry). The log is these entries in file order.
#pragma once

#include <cstdint>
#include <string>

namespace vesk {

struct CorrectionLogEntry {
  uint64_t timestamp = 0;   // Unix milliseconds, as the journal wrote it
  std::string time_iso;     // the entry's time as text, as written
  std::string target_kind;  // "belief", "policy_hint", "causal_pattern", ...
  std::string target_id;
  std::string operation;    // "deprecate", "retract", "invalidate", ...
  std::string reason;
  std::string session_id;   // the audit session that wrote the entry

  bool operator==(const CorrectionLogEntry&) const = default;
};

}  // namespace vesk
