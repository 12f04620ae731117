#include "write/promotion_rule.h"

#include <cmath>

namespace vesk {

bool currently_valid(const Record& r, double now) {
  if (r.valid_from && (!std::isfinite(*r.valid_from) || *r.valid_from > now)) return false;
  if (r.valid_until && (!std::isfinite(*r.valid_until) || now >= *r.valid_until)) return false;
  return true;
}

std::optional<std::string_view> promotion_block_reason(const Record& r, double now) {
  if (!currently_valid(r, now)) return "not_currently_valid";
  if (r.level == Level::Identity) return "already_identity";
  if (r.level == Level::Working) return std::nullopt;
  if (r.semantic_type == "contradiction") return "contradiction_record";
  if (r.conflict_mass > 0) return "conflicting_evidence";
  if (r.volatility >= kPromotionVolatilityLimit) return "high_volatility";
  if (r.level == Level::Domain &&
      (r.activation_count < kIdentityEvidenceActivations || r.strength < kIdentityEvidenceStrength)) {
    return "identity_evidence_threshold";
  }
  return std::nullopt;
}

bool promotion_candidate(const Record& r, double now, uint64_t min_activations, float min_strength) {
  if (r.level != Level::Working && r.level != Level::Decisions) return false;
  if (r.activation_count < min_activations || !(r.strength >= min_strength)) return false;
  return !promotion_block_reason(r, now);
}

Level next_level(Level level) {
  switch (level) {
    case Level::Working:
      return Level::Decisions;
    case Level::Decisions:
      return Level::Domain;
    default:
      return Level::Identity;
  }
}

}  // namespace vesk
