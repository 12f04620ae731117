// What the store road derives for a new record once its arguments are
// checked: the level after automatic promotion and the identity phrases, and
// the confidence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "model/level.h"
#include "write/claim_certainty.h"
#include "write/claim_rules.h"        // has_identity_phrase
#include "write/text_classifiers.h"  // OutcomePolarity, parse_polarity

namespace vesk {

// The fewest matching signature positions (of 128) whose n-gram score
// reaches the novelty score: content with such a neighbour is not novel.
int promotion_match_positions();

// Automatic promotion looks at the n-gram index only from this many records on.
inline constexpr size_t kPromotionMinRecords = 5;
// A best n-gram score at or above this marks the content as not novel.
inline constexpr float kPromotionNoveltyScore = 0.2f;

// Novel content (no n-gram candidate, or the best one scoring below 0.2)
// moves up one level: Working -> Decisions -> Domain; Domain and Identity
// stay. `best_score` is the best candidate's score, none without one.
Level promoted_level(Level level, std::optional<float> best_score);

// 0.9 recorded, 0.75 retrieved, 0.6 inferred, 0.5 generated, times the
// certainty's factor when one was classified; 32-bit arithmetic.
float store_confidence(std::string_view source_type, std::optional<ClaimCertainty> certainty);

}  // namespace vesk
