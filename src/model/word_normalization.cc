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

}  // namespace vesk
