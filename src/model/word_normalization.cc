#include "model/word_normalization.h"

#include "model/unicode_case.h"

namespace vesk {

std::string normalize_padded_words(std::string_view text) {
  // Lower-casing first: one character may become several, and only the
  // result's ASCII letters and digits are kept.
  const std::string lower = unicode_lower(text);
  std::string out;
  out.reserve(lower.size() + 2);
  out.push_back(' ');
  for (const char c : lower) {
    const bool kept = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (kept) {
      out.push_back(c);
    } else if (out.back() != ' ') {
      out.push_back(' ');
    }
  }
  if (out.back() != ' ') out.push_back(' ');
  return out;
}

std::string normalize_words(std::string_view text) {
  std::string padded = normalize_padded_words(text);
  // The padded form is one space, words joined by single spaces, one space:
  // only its two ends can be white space.
  if (padded.size() <= 2) return std::string();
  return padded.substr(1, padded.size() - 2);
}

}  // namespace vesk
