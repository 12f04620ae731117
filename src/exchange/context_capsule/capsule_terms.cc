#include "exchange/context_capsule/capsule_terms.h"

#include <algorithm>

#include "model/unicode_text.h"

namespace vesk {
namespace {

constexpr bool is_ascii_alnum(unsigned char b) {
  return (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
}

// Calls f(piece, ascii, code_points) for every maximal run of alphanumeric
// characters of `text`.
template <class F>
void for_each_piece(std::string_view text, F&& f) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    // Skip separators.
    size_t start = i;
    while (i < n) {
      const unsigned char b = static_cast<unsigned char>(text[i]);
      if (b < 0x80) {
        if (is_ascii_alnum(b)) break;
        ++i;
        continue;
      }
      size_t j = i;
      if (is_unicode_alphanumeric(next_code_point(text, j))) break;
      i = j;
    }
    if (i >= n) return;
    start = i;
    bool ascii = true;
    size_t code_points = 0;
    while (i < n) {
      const unsigned char b = static_cast<unsigned char>(text[i]);
      if (b < 0x80) {
        if (!is_ascii_alnum(b)) break;
        ++i;
      } else {
        size_t j = i;
        if (!is_unicode_alphanumeric(next_code_point(text, j))) break;
        i = j;
        ascii = false;
      }
      ++code_points;
    }
    f(text.substr(start, i - start), ascii, code_points);
  }
}

}  // namespace

std::vector<std::string> capsule_terms(std::string_view text) {
  std::vector<std::string> terms;
  for_each_piece(text, [&](std::string_view piece, bool ascii, size_t code_points) {
    if (code_points < 2) return;
    if (ascii) {
      std::string lowered(piece);
      for (char& c : lowered) c = ascii_lower(c);
      terms.push_back(std::move(lowered));
    } else {
      terms.push_back(unicode_lower(piece));
    }
  });
  std::sort(terms.begin(), terms.end());
  terms.erase(std::unique(terms.begin(), terms.end()), terms.end());
  return terms;
}

CapsuleTermMatcher::CapsuleTermMatcher(std::string_view purpose) : terms_(capsule_terms(purpose)) {
  for (const std::string& t : terms_) {
    if (!is_all_ascii(t)) continue;
    if (t.size() < 64) {
      ascii_lengths_ |= uint64_t{1} << t.size();
    } else {
      has_long_ascii_ = true;
    }
  }
  seen_.assign(terms_.size(), 0);
}

bool CapsuleTermMatcher::mark(std::string_view lowered) const {
  auto it = std::lower_bound(terms_.begin(), terms_.end(), lowered,
                             [](const std::string& a, std::string_view b) { return std::string_view(a) < b; });
  if (it == terms_.end() || *it != lowered) return false;
  uint64_t& seen = seen_[static_cast<size_t>(it - terms_.begin())];
  if (seen == pass_) return false;
  seen = pass_;
  return true;
}

uint64_t CapsuleTermMatcher::shared_terms(std::string_view content, std::span<const std::string> tags,
                                          std::string_view semantic_type) const {
  if (terms_.empty()) return 0;
  ++pass_;
  uint64_t shared = 0;
  char small[64];
  std::string lowered;
  auto scan = [&](std::string_view text) {
    for_each_piece(text, [&](std::string_view piece, bool ascii, size_t code_points) {
      if (code_points < 2) return;
      if (ascii) {
        // An ASCII piece lower-cases to the same number of ASCII bytes: only
        // a term of that length can match.
        if (piece.size() < 64 ? !(ascii_lengths_ >> piece.size() & 1) : !has_long_ascii_) return;
        std::string_view key;
        if (piece.size() <= sizeof small) {
          for (size_t k = 0; k < piece.size(); ++k) small[k] = ascii_lower(piece[k]);
          key = std::string_view(small, piece.size());
        } else {
          lowered.assign(piece);
          for (char& c : lowered) c = ascii_lower(c);
          key = lowered;
        }
        if (mark(key)) ++shared;
      } else {
        lowered = unicode_lower(piece);
        if (mark(lowered)) ++shared;
      }
    });
  };
  scan(content);
  for (const std::string& tag : tags) scan(tag);
  scan(semantic_type);
  return shared;
}

}  // namespace vesk
