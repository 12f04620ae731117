// PurgeScope: how far a record purge reaches, in widening circles.
//
//   0 "active"           the logical delete and the layer cascade
//   1 "derived"          the same; only the texts of the report differ
//   2 "current_storage"  as active, then the cognitive journal is compacted
//                        and the record log rewritten without the record
//   3 "history"          as current_storage, then the labelled snapshots and
//                        the audit journal lose every trace of it
//
// The text is what callers pass and what the report and the audit entry
// carry.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/status.h"

namespace vesk {

enum class PurgeScope : uint8_t { Active = 0, Derived = 1, CurrentStorage = 2, History = 3 };

std::string_view purge_scope_text(PurgeScope scope);
// The scope of one of the four texts, exactly as spelled; a Value error
// "invalid purge scope '{text}'; expected active, derived, current_storage,
// or history" otherwise.
Result<PurgeScope> parse_purge_scope(std::string_view text);

}  // namespace vesk
