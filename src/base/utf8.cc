#include "base/utf8.h"

#include <cstdint>
#include <cstring>

namespace vesk {
namespace {

// Length of the well-formed sequence at `i`, or 0 with `*bad` set to the length
// of its maximal ill-formed subpart (at least 1).
inline size_t sequence_at(std::string_view s, size_t i, size_t* bad) {
  auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = b(i);
  if (c < 0x80) return 1;
  size_t need;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    need = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    need = 3;
    if (c == 0xE0) lo = 0xA0;   // no overlong forms
    if (c == 0xED) hi = 0x9F;   // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    need = 4;
    if (c == 0xF0) lo = 0x90;   // no overlong forms
    if (c == 0xF4) hi = 0x8F;   // nothing above U+10FFFF
  } else {
    *bad = 1;
    return 0;
  }
  size_t k = 1;
  for (; k < need; ++k) {
    if (i + k >= s.size()) break;
    unsigned char t = b(i + k);
    unsigned char l = k == 1 ? lo : 0x80, h = k == 1 ? hi : 0xBF;
    if (t < l || t > h) break;
  }
  if (k == need) return need;
  *bad = k;
  return 0;
}

}  // namespace

std::optional<size_t> utf8_error_offset(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    // Plain ASCII runs are the common case; skip them eight bytes at a time.
    while (s.size() - i >= 8) {
      uint64_t w;
      std::memcpy(&w, s.data() + i, 8);
      if (w & 0x8080808080808080ull) break;
      i += 8;
    }
    if (i >= s.size()) break;
    size_t bad = 0;
    size_t n = sequence_at(s, i, &bad);
    if (n == 0) return i;
    i += n;
  }
  return std::nullopt;
}

std::string decode_utf8_lossy(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    size_t bad = 0;
    size_t n = sequence_at(s, i, &bad);
    if (n) {
      out.append(s.substr(i, n));
      i += n;
    } else {
      out.append("\xEF\xBF\xBD");
      i += bad;
    }
  }
  return out;
}

}  // namespace vesk
