// The recently corrected beliefs: the beliefs that correction entries of
// target kind exactly "belief" touched (deprecations and the world
// confirmations and refutations of consequence capture alike), newest entry
// first, one per belief, as they stand now in the belief layer.
//
// Newest first means a stable sort by timestamp ascending, then reversed: of
// two entries with the same timestamp the later line of the journal comes
// first. A belief is listed at the place of its newest entry; an entry whose
// belief the layer no longer holds adds nothing and does not count toward
// the limit (20 when none is given, at most 100).
//
// The store holds the belief layer shared while it reads the correction log
// and copies the beliefs, so a correction waits for the read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "audit/correction_log_entry.h"
#include "cognitive/belief_layer.h"

namespace vesk {

inline constexpr size_t kDefaultRecentlyCorrected = 20;
inline constexpr size_t kMaxRecentlyCorrected = 100;

// The limit: 20 when none is given, else capped at 100.
size_t recently_corrected_limit(std::optional<uint64_t> limit);

// Copies of at most `limit` beliefs. Pure; the caller holds `beliefs` shared.
std::vector<Belief> recently_corrected_beliefs(std::span<const CorrectionLogEntry> log, const BeliefEngine& beliefs,
                                               size_t limit);

}  // namespace vesk
