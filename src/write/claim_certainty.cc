#include "write/claim_certainty.h"

#include "model/unicode_text.h"

namespace vesk {

std::string_view claim_certainty_label(ClaimCertainty c) {
  switch (c) {
    case ClaimCertainty::Hearsay: return "hearsay";
    case ClaimCertainty::Speculative: return "speculative";
    case ClaimCertainty::Hedged: return "hedged";
    case ClaimCertainty::Asserted: return "asserted";
  }
  return "asserted";
}

float claim_certainty_factor(ClaimCertainty c) {
  switch (c) {
    case ClaimCertainty::Hearsay:
    case ClaimCertainty::Speculative: return 0.7f;
    case ClaimCertainty::Hedged: return 0.85f;
    case ClaimCertainty::Asserted: return 1.0f;
  }
  return 1.0f;
}

std::optional<ClaimCertainty> parse_claim_certainty(std::string_view text) {
  std::string word(trim_unicode_white_space(text));
  for (char& c : word) c = ascii_lower(c);
  if (word == "hedged") return ClaimCertainty::Hedged;
  if (word == "hearsay") return ClaimCertainty::Hearsay;
  if (word == "asserted") return ClaimCertainty::Asserted;
  if (word == "speculative") return ClaimCertainty::Speculative;
  return std::nullopt;
}

std::string normalize_claim_text(std::string_view text) {
  std::string lower = to_lower_full(text);
  std::string out = " ";
  out.reserve(lower.size() + 2);
  bool in_word = false;
  size_t i = 0;
  while (i < lower.size()) {
    size_t start = i;
    char32_t c = next_code_point(lower, i);
    if (c == U'\'' || c == U'\u2019') {
      out += '\'';
      in_word = true;
    } else if (is_unicode_alphanumeric(c)) {
      out.append(lower, start, i - start);
      in_word = true;
    } else if (in_word) {
      out += ' ';
      in_word = false;
    }
  }
  if (in_word) out += ' ';
  return out;
}

}  // namespace vesk
