#include "index/sdr_kernels.h"

#include <immintrin.h>

#include <bit>

namespace vesk {
namespace {

// __builtin_cpu_init: these may run before the runtime's own initialisation.
bool has_avx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
bool has_avx512() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("popcnt");
}

// ---- 4-gram expansion ------------------------------------------------------------

void expand_portable(const FourGramRange& range, const uint32_t* residues, size_t n, uint16_t* out) {
  for (size_t i = 0; i < n; ++i) {
    for (size_t k = 0; k < kFourGramPositions; ++k) {
      uint32_t v = residues[i] + range.offsets[k];
      v -= v >= range.width ? range.width : 0u;
      out[kFourGramPositions * i + k] = static_cast<uint16_t>(range.start + v);
    }
  }
}

__attribute__((target("avx2"), always_inline)) inline __m256i expand_lanes(__m256i r, __m256i off, __m256i width,
                                                                           __m256i start, __m256i low16) {
  __m256i v = _mm256_add_epi32(r, off);
  v = _mm256_min_epu32(v, _mm256_sub_epi32(v, width));
  return _mm256_and_si256(_mm256_add_epi32(v, start), low16);
}

// Eight positions per instruction in 32-bit lanes (three vectors, the last
// half used). r + offset < 2 * width, so one subtraction reduces it: the
// smaller of v and v - width (which wraps above v when v < width).
__attribute__((target("avx2"))) void expand_avx2(const FourGramRange& range, const uint32_t* residues, size_t n,
                                                 uint16_t* out) {
  const __m256i width = _mm256_set1_epi32(static_cast<int>(range.width));
  const __m256i start = _mm256_set1_epi32(static_cast<int>(range.start));
  const __m256i low16 = _mm256_set1_epi32(0xffff);
  uint32_t last[8] = {range.offsets[16], range.offsets[17], range.offsets[18], range.offsets[19], 0, 0, 0, 0};
  const __m256i off0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(range.offsets));
  const __m256i off1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(range.offsets + 8));
  const __m256i off2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(last));
  for (size_t i = 0; i < n; ++i) {
    const __m256i r = _mm256_set1_epi32(static_cast<int>(residues[i]));
    const __m256i a = expand_lanes(r, off0, width, start, low16);
    const __m256i b = expand_lanes(r, off1, width, start, low16);
    const __m256i c = expand_lanes(r, off2, width, start, low16);
    // packus interleaves the 128-bit halves: a0-3 b0-3 a4-7 b4-7.
    const __m256i first = _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xd8);
    const __m256i rest = _mm256_packus_epi32(c, _mm256_setzero_si256());
    uint16_t* o = out + kFourGramPositions * i;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), first);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 16), _mm256_castsi256_si128(rest));
  }
}

// ---- Setting bits ----------------------------------------------------------------

// With BMI2 the shift takes its count from any register, not only CL.
__attribute__((target_clones("bmi2", "default"))) void set_bits(uint64_t* words, const uint16_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const uint32_t v = p[i];
    words[v >> 6] |= uint64_t{1} << (v & 63);
  }
}

// ---- Read-out --------------------------------------------------------------------

size_t read_portable(const uint64_t* words, uint16_t* out) {
  uint16_t* o = out;
  for (uint32_t i = 0; i < kBitSetWords; ++i) {
    for (uint64_t w = words[i]; w; w &= w - 1) {
      *o++ = static_cast<uint16_t>((i << 6) | static_cast<uint32_t>(std::countr_zero(w)));
    }
  }
  return static_cast<size_t>(o - out);
}

// Each word is the mask of one compress of the bytes 0..63: the bit numbers
// of its set bits land side by side at the front of the vector, are widened
// to 16 bits and offset by the word's first position, and the vector is
// stored whole; the output moves on by their count. A word with more than 32
// bits (rare) stores its second half too. No branch depends on the bits but
// that one.
__attribute__((target("avx512f,avx512bw,avx512vbmi2,popcnt"))) size_t read_avx512(const uint64_t* words,
                                                                               uint16_t* out) {
  alignas(64) static constexpr uint8_t kBitNumbers[64] = {
      0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
      22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
      44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
  const __m512i bit_numbers = _mm512_load_si512(kBitNumbers);
  const __m512i step = _mm512_set1_epi16(64);
  __m512i base = _mm512_setzero_si512();
  uint16_t* o = out;
  for (size_t i = 0; i < kBitSetWords; ++i) {
    const uint64_t mask = words[i];
    const __m512i packed = _mm512_maskz_compress_epi8(mask, bit_numbers);
    _mm512_storeu_si512(o, _mm512_add_epi16(_mm512_cvtepu8_epi16(_mm512_castsi512_si256(packed)), base));
    const size_t count = static_cast<size_t>(_mm_popcnt_u64(mask));
    if (count > 32) [[unlikely]] {
      _mm512_storeu_si512(o + 32,
                          _mm512_add_epi16(_mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(packed, 1)), base));
    }
    o += count;
    base = _mm512_add_epi16(base, step);
  }
  return static_cast<size_t>(o - out);
}

using ExpandFn = void (*)(const FourGramRange&, const uint32_t*, size_t, uint16_t*);
using ReadFn = size_t (*)(const uint64_t*, uint16_t*);

}  // namespace

void expand_four_grams(const FourGramRange& range, const uint32_t* residues, size_t n, uint16_t* out) {
  static const ExpandFn fn = has_avx2() ? expand_avx2 : expand_portable;
  fn(range, residues, n, out);
}

void set_bit_positions(uint64_t* words, const uint16_t* positions, size_t n) { set_bits(words, positions, n); }

size_t read_bit_positions(const uint64_t* words, uint16_t* out) {
  static const ReadFn fn = has_avx512() ? read_avx512 : read_portable;
  return fn(words, out);
}

bool expand_four_grams_by(SdrKernelCode code, const FourGramRange& range, const uint32_t* residues, size_t n,
                          uint16_t* out) {
  switch (code) {
    case SdrKernelCode::Portable: expand_portable(range, residues, n, out); return true;
    case SdrKernelCode::Avx2:
      if (!has_avx2()) return false;
      expand_avx2(range, residues, n, out);
      return true;
    case SdrKernelCode::Avx512: return false;
  }
  return false;
}

bool read_bit_positions_by(SdrKernelCode code, const uint64_t* words, uint16_t* out, size_t* count) {
  switch (code) {
    case SdrKernelCode::Portable: *count = read_portable(words, out); return true;
    case SdrKernelCode::Avx2: return false;
    case SdrKernelCode::Avx512:
      if (!has_avx512()) return false;
      *count = read_avx512(words, out);
      return true;
  }
  return false;
}

}  // namespace vesk
