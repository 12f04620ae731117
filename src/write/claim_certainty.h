// Claim certainty: how firmly a stored text states its claim.
//
// Kept in a record's metadata under "claim_certainty" as its label; lowers
// the record's confidence at store time by its factor. "Not classified" is
// std::nullopt: no label, no factor.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

enum class ClaimCertainty : uint8_t { Hearsay = 0, Speculative = 1, Hedged = 2, Asserted = 3 };

// "hearsay", "speculative", "hedged", "asserted".
std::string_view claim_certainty_label(ClaimCertainty c);
// 0.7, 0.7, 0.85, 1.0 as 32-bit values.
float claim_certainty_factor(ClaimCertainty c);

// A certainty given as text (a classifier's answer, a caller's value):
// surrounding white space removed, ASCII letters lower-cased, then one of the
// four labels; anything else is not classified.
std::optional<ClaimCertainty> parse_claim_certainty(std::string_view text);

// The text in which claim and identity phrases are sought: one space, the
// lower-cased words (Unicode letters and digits, "'" and U+2019 written as
// "'") separated by single spaces, and a closing space. A text without
// words gives " ". A phrase is present when " phrase " occurs in it.
std::string normalize_claim_text(std::string_view text);

}  // namespace vesk
