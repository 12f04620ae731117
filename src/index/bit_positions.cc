#include "index/bit_positions.h"

#include <immintrin.h>

#include <bit>

namespace vesk {
namespace {

size_t read_portable(const uint64_t* words, uint16_t* out) {
  uint16_t* o = out;
  for (uint32_t i = 0; i < kBitSetWords; ++i) {
    for (uint64_t w = words[i]; w; w &= w - 1) *o++ = static_cast<uint16_t>((i << 6) | static_cast<uint32_t>(std::countr_zero(w)));
  }
  return static_cast<size_t>(o - out);
}

// Each 32-bit half of a word is the mask of one compress of 32 positions
// (the half's first position plus 0..31): the positions of its set bits land
// side by side at the front of the vector, which is stored whole, and the
// output moves on by their count. No branch depends on the bits.
__attribute__((target("avx512f,avx512bw,avx512vbmi2,popcnt"))) size_t read_avx512(const uint64_t* words,
                                                                               uint16_t* out) {
  static_assert(std::endian::native == std::endian::little, "a word's low half is its first 32 positions");
  const auto* halves = reinterpret_cast<const uint32_t*>(words);
  __m512i base = _mm512_set_epi16(31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11,
                                  10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
  const __m512i step = _mm512_set1_epi16(32);
  uint16_t* o = out;
  for (size_t h = 0; h < 2 * kBitSetWords; ++h) {
    const uint32_t mask = halves[h];
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi16(mask, base));
    o += _mm_popcnt_u32(mask);
    base = _mm512_add_epi16(base, step);
  }
  return static_cast<size_t>(o - out);
}

using ReadFn = size_t (*)(const uint64_t*, uint16_t*);

bool has_avx512() {
  __builtin_cpu_init();  // may run before the runtime's own initialisation
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("popcnt");
}

}  // namespace

size_t read_bit_positions(const uint64_t* words, uint16_t* out) {
  static const ReadFn fn = has_avx512() ? read_avx512 : read_portable;
  return fn(words, out);
}

bool read_bit_positions_by(BitPositionsCode code, const uint64_t* words, uint16_t* out, size_t* count) {
  if (code == BitPositionsCode::Avx512) {
    if (!has_avx512()) return false;
    *count = read_avx512(words, out);
    return true;
  }
  *count = read_portable(words, out);
  return true;
}

}  // namespace vesk
