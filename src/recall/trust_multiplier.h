// The trust weight of a recalled record: how far recall believes its source.
//
//   trust = authority x (base trust + recency boost) x source-type factor,
//           clamped into [0.05, 1.0]
//
// - base trust: the metadata "trust_score" read as a decimal 32-bit float;
//   0.5 when the key is missing, the text is not a number, or the number is
//   not finite;
// - authority: the trust model's `source_authority` entry for the metadata
//   "source" (the empty text when missing); 0.85 when the model has none;
// - recency boost: from the metadata "timestamp" (else "created_at"), an
//   RFC 3339 date-time counted in whole UTC seconds; a missing or unreadable
//   stamp counts as 14 days old (an unreadable "timestamp" does not fall back
//   to "created_at"). The boost falls linearly from `recency_boost_max` for a
//   fresh record to 0 after `recency_half_life_days`, stepping once per whole
//   day of age; a half-life of 0 gives no boost, and a boost below 0 is 0;
// - factor: "recorded" 1.0, "retrieved" 0.9, "inferred" 0.85, "generated"
//   0.8, any other text 0.9.
//
// The result is never NaN: a NaN from a user-set model value lands on the
// floor 0.05.
#pragma once

#include <optional>
#include <string_view>

#include "model/config_trust.h"
#include "base/string_hash.h"

namespace vesk {

inline constexpr float kTrustFloor = 0.05f;
inline constexpr float kTrustCeiling = 1.0f;

// `now` is wall-clock Unix seconds (0.0 before the epoch).
float trust_multiplier(const StringMap& metadata, const TrustConfig& trust, std::string_view source_type, double now);

// The recency boost alone, for a record whose stamp is `stamp_secs` whole
// UTC seconds (none: unknown, counted as 14 days before now).
float recency_boost(const TrustConfig& trust, std::optional<long long> stamp_secs, double now);

// A decimal text as a finite 32-bit float (an optional sign, digits with an
// optional fraction and exponent, or the texts the float reader knows, such
// as "inf"); none when the whole text does not read as one or the value is
// not finite.
std::optional<float> parse_finite_f32(std::string_view text);

}  // namespace vesk
