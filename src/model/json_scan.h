// The scan shared by the JSON writer and reader: where a run of bytes that a
// JSON string holds as they are ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vesk {

// Whether a JSON string cannot hold byte c as it is ('"', '\\' or a control
// character below 0x20).
constexpr bool json_string_stop(unsigned char c) { return c == '"' || c == '\\' || c < 0x20; }

// The offset of the first byte at or after pos for which json_string_stop
// holds, or len. Tests eight bytes at a time.
inline size_t json_scan_plain(const char* data, size_t pos, size_t len) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
  while (len - pos >= 8) {
    uint64_t w;
    std::memcpy(&w, data + pos, 8);
    const uint64_t q = w ^ (kOnes * '"'), b = w ^ (kOnes * '\\');
    // A set high bit marks a byte equal to '"' or '\\', or below 0x20 (the
    // marks may overreach past a true one; the byte loop settles it).
    const uint64_t hit = (((q - kOnes) & ~q) | ((b - kOnes) & ~b) | (w - kOnes * 0x20)) & ~w & kHigh;
    if (hit) break;
    pos += 8;
  }
  while (pos < len && !json_string_stop(static_cast<unsigned char>(data[pos]))) ++pos;
  return pos;
}

}  // namespace vesk
