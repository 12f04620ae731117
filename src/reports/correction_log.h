// The correction log: the correction entries of the audit journal, read back
// from its current file ("brain.audit") on every call, in file order.
// Rotated predecessors are not read, so corrections that rotation moved out
// of the current file no longer appear.
//
// Reading never fails; it answers an empty log instead when the file's
// metadata cannot be read or the file cannot be opened, when a read fails or
// a line is not UTF-8, when a sealed line ("AEF1:" and hex) has bad hex,
// does not open with the key (always so without a key) or opens to bytes
// that are not UTF-8, and, in a store with a key, when any line is plain. A
// line that is not a JSON audit entry (an empty line among them) is skipped
// alone; entries whose action is not a correction are dropped.
//
// The journal is appended by calls that may run while the log is read, and
// the reader takes no lock of the journal: each entry reaches the file as
// one line with its line feed, so every complete line is a finished entry,
// and a last line without a line feed is an entry still being written. That
// line is skipped, sealed or plain, rather than taken for damage that would
// empty the whole log.
#pragma once

#include <string_view>
#include <vector>

#include "audit/correction_log_entry.h"
#include "base/env.h"
#include "model/json_value.h"
#include "storage/crypto.h"

namespace vesk {

// The log of the journal file at `path`; `key` is the store's key, or null.
std::vector<CorrectionLogEntry> read_correction_log(Env& env, const fs::path& path, const SecretKey* key);

// The entries whose target kind and id both equal the arguments byte for
// byte (case matters, nothing is trimmed), in log order.
std::vector<CorrectionLogEntry> correction_log_for_target(std::vector<CorrectionLogEntry> log,
                                                          std::string_view target_kind, std::string_view target_id);

// Each entry as an object with "timestamp", "time_iso", "target_kind",
// "target_id", "operation", "reason", "session_id", in log order.
JsonValue::Array correction_log_to_list(const std::vector<CorrectionLogEntry>& log);

}  // namespace vesk
