#include "index/term_tokenizer.h"

#include "model/unicode_text.h"

namespace vesk {
namespace {

bool ascii_term_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

std::vector<std::string> tokenize_terms(std::string_view text) {
  std::vector<std::string> out;
  if (is_all_ascii(text)) {
    for (size_t i = 0; i < text.size();) {
      if (!ascii_term_char(text[i])) {
        ++i;
        continue;
      }
      size_t j = i;
      while (j < text.size() && ascii_term_char(text[j])) ++j;
      std::string& t = out.emplace_back(text.substr(i, j - i));
      for (char& c : t) c = ascii_lower(c);
      i = j;
    }
    return out;
  }
  size_t start = std::string_view::npos;
  for (size_t i = 0; i < text.size();) {
    const size_t at = i;
    const char32_t c = next_code_point(text, i);
    const bool term = c == U'_' || is_unicode_alphanumeric(c);
    if (term && start == std::string_view::npos) start = at;
    if (!term && start != std::string_view::npos) {
      out.push_back(to_lower_full(text.substr(start, at - start)));
      start = std::string_view::npos;
    }
  }
  if (start != std::string_view::npos) out.push_back(to_lower_full(text.substr(start)));
  return out;
}

void tokenize_term_views(std::string_view text, TermViews& out) {
  out.terms.clear();
  if (is_all_ascii(text)) {
    std::string& lowered = out.lowered;
    lowered.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i) lowered[i] = ascii_lower(text[i]);
    const std::string_view s = lowered;
    for (size_t i = 0; i < s.size();) {
      if (!ascii_term_char(s[i])) {
        ++i;
        continue;
      }
      size_t j = i;
      while (j < s.size() && ascii_term_char(s[j])) ++j;
      out.terms.push_back(s.substr(i, j - i));
      i = j;
    }
    return;
  }
  // Each term is lowered on its own (the final-sigma rule looks at the term,
  // not the text), as tokenize_terms does; the views are taken once every
  // string is in place, since `owned` may move them while it grows.
  out.owned = tokenize_terms(text);
  for (const std::string& t : out.owned) out.terms.push_back(t);
}

}  // namespace vesk
