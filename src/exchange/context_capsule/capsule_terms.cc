#include "exchange/context_capsule/capsule_terms.h"

#include <algorithm>
#include <array>

#include "model/unicode_text.h"

namespace vesk {
namespace {

// Byte classes: 0 an ASCII separator, 1 an ASCII letter or digit, 2 a byte
// of a multi-byte character (classified by decoding it).
constexpr auto kByteClass = [] {
  std::array<uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b) {
    const bool alnum = (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
    t[b] = b >= 0x80 ? 2 : alnum ? 1 : 0;
  }
  return t;
}();

inline uint8_t byte_class(char c) { return kByteClass[static_cast<unsigned char>(c)]; }

// Calls f(piece, ascii, code_points) for every maximal run of alphanumeric
// characters of `text`. Runs of ASCII are taken a byte at a time; only
// non-ASCII characters are decoded.
template <class F>
void for_each_piece(std::string_view text, F&& f) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    // Skip separators.
    while (p < end) {
      const uint8_t k = byte_class(*p);
      if (k == 1) break;
      if (k == 0) {
        ++p;
        continue;
      }
      size_t j = static_cast<size_t>(p - text.data());
      const size_t at = j;
      if (is_unicode_alphanumeric(next_code_point(text, j))) break;
      p += j - at;
    }
    if (p >= end) return;
    const char* start = p;
    bool ascii = true;
    size_t code_points = 0;
    while (p < end) {
      const uint8_t k = byte_class(*p);
      if (k == 1) {
        ++p;
        ++code_points;
        continue;
      }
      if (k == 0) break;
      size_t j = static_cast<size_t>(p - text.data());
      const size_t at = j;
      if (!is_unicode_alphanumeric(next_code_point(text, j))) break;
      p += j - at;
      ascii = false;
      ++code_points;
    }
    f(std::string_view(start, static_cast<size_t>(p - start)), ascii, code_points);
  }
}

// FNV-1a over the bytes, folded by a final mix; the same for a term and for
// a piece lower-cased on the fly.
constexpr uint64_t kFnvBasis = 0xcbf29ce484222325ull;
constexpr uint64_t fnv_step(uint64_t h, unsigned char b) { return (h ^ b) * 0x100000001b3ull; }
constexpr uint64_t fnv_finish(uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  return h ^ (h >> 33);
}
uint64_t term_hash(std::string_view s) {
  uint64_t h = kFnvBasis;
  for (char c : s) h = fnv_step(h, static_cast<unsigned char>(c));
  return fnv_finish(h);
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
    ascii_lengths_[static_cast<unsigned char>(t[0])] |= uint64_t{1} << (t.size() < 64 ? t.size() : 0);
  }
  seen_.assign(terms_.size(), 0);
  size_t capacity = 16;
  while (capacity < terms_.size() * 2) capacity *= 2;
  table_.assign(capacity, {0, 0});
  for (size_t t = 0; t < terms_.size(); ++t) {
    const uint64_t h = term_hash(terms_[t]);
    size_t i = h & (capacity - 1);
    while (table_[i].second != 0) i = (i + 1) & (capacity - 1);
    table_[i] = {h, static_cast<uint32_t>(t + 1)};
  }
}

bool CapsuleTermMatcher::mark(std::string_view lowered, uint64_t hash) const {
  const size_t mask = table_.size() - 1;
  for (size_t i = hash & mask; table_[i].second != 0; i = (i + 1) & mask) {
    if (table_[i].first != hash) continue;
    const size_t t = table_[i].second - 1;
    if (terms_[t] != lowered) continue;
    if (seen_[t] == pass_) return false;
    seen_[t] = pass_;
    return true;
  }
  return false;
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
        // a term of that length and first byte can match.
        const uint64_t lengths = ascii_lengths_[static_cast<unsigned char>(ascii_lower(piece[0]))];
        if (!(lengths >> (piece.size() < 64 ? piece.size() : 0) & 1)) return;
        char* out = small;
        if (piece.size() > sizeof small) {
          lowered.resize(piece.size());
          out = lowered.data();
        }
        uint64_t h = kFnvBasis;
        for (size_t k = 0; k < piece.size(); ++k) {
          out[k] = ascii_lower(piece[k]);
          h = fnv_step(h, static_cast<unsigned char>(out[k]));
        }
        if (mark(std::string_view(out, piece.size()), fnv_finish(h))) ++shared;
      } else {
        lowered = unicode_lower(piece);
        if (mark(lowered, term_hash(lowered))) ++shared;
      }
    });
  };
  scan(content);
  for (const std::string& tag : tags) scan(tag);
  scan(semantic_type);
  return shared;
}

}  // namespace vesk
