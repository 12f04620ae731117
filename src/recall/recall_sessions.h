// Sessions and record history: what a caller reads or consumes of the traces
// recalls leave behind.
//
// A recall made under a session id notes its first ten results in that
// session (apply_recall_activation). Ending the session turns the records it
// noted into co-activation links: every pair of them in one namespace is
// linked both ways, one step of 5 % of the remaining distance to 1 from the
// stronger of the two existing weights. Starting from the stronger weight and
// writing the same value both ways means that no existing link is ever
// lowered and the outcome does not depend on the order in which the set
// hands the ids out.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/json_value.h"
#include "model/record.h"
#include "base/string_hash.h"
#include "recall/activation.h"

namespace vesk {

inline constexpr float kCoactivationStep = 0.05f;
inline constexpr std::string_view kCoactivationType = "coactivation";

struct SessionLinks {
  uint64_t pairs_strengthened = 0;
  uint64_t session_records = 0;
  // Records whose connections were set, each once; they must be persisted.
  std::vector<std::string> changed_ids;
};

// Links every pair of the ids whose records both exist and share a namespace:
// w = the larger of the two directions' weights (0 when absent), w' =
// min(w + (1 - w) x 0.05, 1) in 32-bit floats, set both ways; a direction
// without a relation type gets "coactivation" (a type already there stays).
// The caller holds the records map's write lock.
SessionLinks link_session_records(std::span<const std::string> ids, const MutableRecordLookup& records);

// What end_session tells its caller: {"pairs_strengthened", "session_records"}
// for a session that had an entry, an empty object for one that had none.
JsonObject session_links_dict(const std::optional<SessionLinks>& links);

// The access and strength timeline of one record, every value a text:
// id, content, level, strength, activation_count, created_at,
// last_activated, valid_from, valid_until, superseded_at (empty when unset),
// age_days, days_since_activation, namespace, source_type, tags, salience,
// salience_reason (only when the metadata holds it) and connections.
StringMap record_history(const Record& record, double now);

}  // namespace vesk
