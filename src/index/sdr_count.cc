#include "index/sdr_count.h"

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace vesk {
namespace {

constexpr size_t kBlocks = PackedSdr::kBlockCount;
constexpr unsigned kBitmapHead = PackedSdr::kBitmapHead;

uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The query's positions as a 65,536-bit set: counting the common positions
// of a stored SDR is then one branch-free test per stored position instead
// of a merge; with AVX2 the tests run eight at a time on gathered words.
size_t plain_scalar(const uint64_t* words, const uint16_t* p, size_t n) {
  size_t c0 = 0, c1 = 0, c2 = 0, c3 = 0, i = 0;
  for (; i + 4 <= n; i += 4) {
    c0 += (words[p[i] >> 6] >> (p[i] & 63)) & 1;
    c1 += (words[p[i + 1] >> 6] >> (p[i + 1] & 63)) & 1;
    c2 += (words[p[i + 2] >> 6] >> (p[i + 2] & 63)) & 1;
    c3 += (words[p[i + 3] >> 6] >> (p[i + 3] & 63)) & 1;
  }
  for (; i < n; ++i) c0 += (words[p[i] >> 6] >> (p[i] & 63)) & 1;
  return c0 + c1 + c2 + c3;
}

__attribute__((target("avx2"))) size_t plain_avx2(const uint64_t* words, const uint16_t* p, size_t n) {
  // The set as 32-bit words (little-endian: bit b of 64-bit word w is bit
  // b % 32 of 32-bit word 2w + b / 32), so position x is bit x % 32 of
  // word x / 32.
  const int* w32 = reinterpret_cast<const int*>(words);
  const __m256i low5 = _mm256_set1_epi32(31), one = _mm256_set1_epi32(1);
  __m256i acc = _mm256_setzero_si256();
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    // The stored SDR comes from memory once: stay a kilobyte ahead of it.
    if ((i & 31) == 0) _mm_prefetch(reinterpret_cast<const char*>(p + i) + 1024, _MM_HINT_T0);
    const __m256i x = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
    const __m256i w = _mm256_i32gather_epi32(w32, _mm256_srli_epi32(x, 5), 4);
    acc = _mm256_add_epi32(acc, _mm256_and_si256(_mm256_srlv_epi32(w, _mm256_and_si256(x, low5)), one));
  }
  alignas(32) uint32_t lanes[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), acc);
  size_t c = 0;
  for (uint32_t v : lanes) c += v;
  return c + plain_scalar(words, p + i, n - i);
}

// Blocks `b` to the last of a packed SDR, whose body from block `b` on runs
// from `d` to `end`. Block b's query bits are words 4b to 4b + 3. Lists are
// widened to positions a few blocks at a time and counted as a plain list:
// each block is written as 32 values and the next block writes over the
// excess, so no branch depends on a block's length.
size_t blocks_scalar(const uint64_t* words, const uint8_t* heads, const uint8_t* d, const uint8_t* end, size_t b) {
  constexpr size_t kChunk = 32;
  uint16_t widened[kChunk * 32 + 32];
  size_t c = 0;
  while (b < kBlocks) {
    size_t k = 0;
    for (const size_t stop = std::min(b + kChunk, kBlocks); b < stop; ++b) {
      const unsigned n = heads[b];
      if (n == kBitmapHead) {
        const uint64_t* w = words + 4 * b;
        for (size_t j = 0; j < 4; ++j) c += static_cast<size_t>(std::popcount(w[j] & load64(d + 8 * j)));
      } else {
        const uint16_t base = static_cast<uint16_t>(b << 8);
        if (end - d >= 32) {
          for (size_t j = 0; j < 32; ++j) widened[k + j] = static_cast<uint16_t>(base | d[j]);
        } else {
          for (size_t j = 0; j < n; ++j) widened[k + j] = static_cast<uint16_t>(base | d[j]);
        }
        k += n;
      }
      d += n;
    }
    c += plain_scalar(words, widened, k);
  }
  return c;
}

// A list block's low bytes x, up to 31 of them, are tested in one 32-byte
// vector against the block's 32 query bytes: byte x / 8 is picked by two
// in-lane shuffles (one per half of the 32 bytes), bit x % 8 by a third.
__attribute__((target("avx2,popcnt"))) size_t blocks_avx2(const uint64_t* words, const PackedSdr& s) {
  const uint8_t* heads = s.heads();
  const uint8_t* d = s.body();
  const uint8_t* const end = d + s.body_size();
  const uint8_t* q = reinterpret_cast<const uint8_t*>(words);
  const __m256i bit_of = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                          1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i low5 = _mm256_set1_epi8(0x1f), low3 = _mm256_set1_epi8(7);
  // Shuffle indexes with bit 7 set pick zero: byte i < 16 of the query
  // block is picked from the low half with index i + 0x70, byte i >= 16
  // from the high half with (i + 0x70) ^ 0x80.
  const __m256i bias = _mm256_set1_epi8(0x70), flip = _mm256_set1_epi8(static_cast<char>(0x80));
  size_t c = 0, b = 0;
  // The stored SDR comes from memory once: ask for all of its lines at the
  // start, so that their misses overlap.
  for (const uint8_t* line = heads; line < end; line += 64) _mm_prefetch(reinterpret_cast<const char*>(line), _MM_HINT_T0);
  for (; b < kBlocks; ++b) {
    // Near the end a 32-byte load would read past the body.
    if (end - d < 32) break;
    const unsigned n = heads[b];
    const uint8_t* qb = q + 32 * b;
    if (n == kBitmapHead) {
      for (size_t k = 0; k < 4; ++k) c += static_cast<size_t>(_mm_popcnt_u64(load64(qb + 8 * k) & load64(d + 8 * k)));
      d += n;
      continue;
    }
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
    // x / 8: the 16-bit shift carries bits of the next byte into bits 5-7, which the mask drops.
    const __m256i at = _mm256_add_epi8(_mm256_and_si256(_mm256_srli_epi16(x, 3), low5), bias);
    const __m256i lo = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(qb)));
    const __m256i hi = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(qb + 16)));
    const __m256i byte = _mm256_or_si256(_mm256_shuffle_epi8(lo, at), _mm256_shuffle_epi8(hi, _mm256_xor_si256(at, flip)));
    const __m256i bit = _mm256_shuffle_epi8(bit_of, _mm256_and_si256(x, low3));
    const uint32_t hits = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(byte, bit), bit)));
    c += static_cast<size_t>(_mm_popcnt_u32(hits & ((1u << n) - 1)));
    d += n;
  }
  return c + blocks_scalar(words, heads, d, end, b);
}

bool have_avx2() {
  static const bool yes = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
  return yes;
}

}  // namespace

size_t count_positions_in(const uint64_t* bits, const Sdr& sdr, bool vector_instructions) {
  return (vector_instructions && have_avx2() ? plain_avx2 : plain_scalar)(bits, sdr.data(), sdr.size());
}

size_t count_positions_in(const uint64_t* bits, const PackedSdr& sdr, bool vector_instructions) {
  const bool vector = vector_instructions && have_avx2();
  if (sdr.form() == PackedSdr::Form::kPlain) {
    const std::span<const uint16_t> p = sdr.plain();
    return (vector ? plain_avx2 : plain_scalar)(bits, p.data(), p.size());
  }
  return vector ? blocks_avx2(bits, sdr) : blocks_scalar(bits, sdr.heads(), sdr.body(), sdr.body() + sdr.body_size(), 0);
}

}  // namespace vesk
