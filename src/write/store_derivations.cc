#include "write/store_derivations.h"

namespace vesk {

int promotion_match_positions() {
  // The score is count / 128 in 32-bit floats, as the n-gram query gives it.
  int c = 0;
  while (c < 128 && static_cast<float>(c) / 128.0f < kPromotionNoveltyScore) ++c;
  return c;
}

Level promoted_level(Level level, std::optional<float> best_score) {
  if (best_score && *best_score >= kPromotionNoveltyScore) return level;
  switch (level) {
    case Level::Working: return Level::Decisions;
    case Level::Decisions: return Level::Domain;
    default: return level;
  }
}

float store_confidence(std::string_view source_type, std::optional<ClaimCertainty> certainty) {
  float base = source_type == "recorded"    ? 0.9f
               : source_type == "retrieved" ? 0.75f
               : source_type == "inferred"  ? 0.6f
                                            : 0.5f;
  return certainty ? base * claim_certainty_factor(*certainty) : base;
}

}  // namespace vesk
