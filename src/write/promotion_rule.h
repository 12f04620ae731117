// The promotion rule: which records may climb a level by hand, and why a
// record may not.
//
// A record may climb when it is currently valid, is not already Identity,
// and, from Decisions up, is no contradiction, has no conflicting evidence,
// is stable (volatility below 0.2) and, for the step to Identity, shows the
// identity evidence (20 activations and strength 0.9). A valid Working record
// may always climb. Candidates are the Working and Decisions records that may
// climb and have proved themselves (by default 5 activations and strength
// 0.7); Domain records are never candidates.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "model/record.h"

namespace vesk {

inline constexpr float kPromotionVolatilityLimit = 0.2f;
inline constexpr uint32_t kIdentityEvidenceActivations = 20;
inline constexpr float kIdentityEvidenceStrength = 0.9f;
inline constexpr uint32_t kCandidateMinActivations = 5;
inline constexpr float kCandidateMinStrength = 0.7f;

// True unless valid_from is set and later than now or not finite, or
// valid_until is set and now is at or after it or it is not finite.
bool currently_valid(const Record& r, double now);

// The first reason that applies, in this order: "not_currently_valid",
// "already_identity", then from Decisions up "contradiction_record",
// "conflicting_evidence", "high_volatility" and, for Domain,
// "identity_evidence_threshold"; none when the record may climb.
std::optional<std::string_view> promotion_block_reason(const Record& r, double now);

// A candidate for promotion_candidates: Working or Decisions, at least the
// activations and strength given, currently valid, and no block reason.
bool promotion_candidate(const Record& r, double now, uint64_t min_activations, float min_strength);

// The level one above (Identity stays Identity).
Level next_level(Level level);

}  // namespace vesk
