#include "write/store_derivations.h"

namespace vesk {

Level promoted_level(Level level, std::optional<float> best_score) {
  if (best_score && *best_score >= kPromotionNoveltyScore) return level;
  switch (level) {
    case Level::Working: return Level::Decisions;
    case Level::Decisions: return Level::Domain;
    default: return level;
  }
}

bool has_identity_phrase(std::string_view normalized_text) {
  // Each phrase with the spaces that make it match whole words only.
  static constexpr std::string_view kPhrases[] = {
      " я народився ",  " я народилася ", " мій день народження ", " мене звати ",
      " моє ім'я ",     " у мене алергія ", " i was born ",          " my birthday ",
      " my name is ",   " i am allergic ",  " i'm allergic ",
  };
  for (std::string_view phrase : kPhrases) {
    if (normalized_text.find(phrase) != std::string_view::npos) return true;
  }
  return false;
}

float store_confidence(std::string_view source_type, std::optional<ClaimCertainty> certainty) {
  float base = source_type == "recorded"    ? 0.9f
               : source_type == "retrieved" ? 0.75f
               : source_type == "inferred"  ? 0.6f
                                            : 0.5f;
  return certainty ? base * claim_certainty_factor(*certainty) : base;
}

}  // namespace vesk
