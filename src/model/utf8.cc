#include "model/utf8.h"

#include <cstdint>
#include <cstring>

namespace vesk {

bool utf8_valid(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const auto* end = p + s.size();
  while (p < end) {
    // ASCII runs, eight bytes at a time.
    while (end - p >= 8) {
      uint64_t w;
      std::memcpy(&w, p, 8);
      if (w & 0x8080808080808080ULL) break;
      p += 8;
    }
    if (p >= end) break;
    unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    size_t need;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      need = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      need = 2;
      if (c == 0xE0) lo = 0xA0;   // overlong
      if (c == 0xED) hi = 0x9F;   // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      need = 3;
      if (c == 0xF0) lo = 0x90;   // overlong
      if (c == 0xF4) hi = 0x8F;   // above U+10FFFF
    } else {
      return false;
    }
    if (static_cast<size_t>(end - p) <= need) return false;
    if (p[1] < lo || p[1] > hi) return false;
    for (size_t i = 2; i <= need; ++i)
      if ((p[i] & 0xC0) != 0x80) return false;
    p += need + 1;
  }
  return true;
}

}  // namespace vesk
