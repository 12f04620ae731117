#include "index/posting_block.h"

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cstring>

// The vectors never cross a call boundary (everything that takes or returns
// one is inlined), so their argument-passing ABI does not matter.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vesk {

namespace {

static_assert(std::endian::native == std::endian::little, "blocks are read as little-endian words");

constexpr uint8_t kCountFollows = 0x10;
constexpr uint8_t kPacked = 0x20;
// Sparse blocks (a best Rice parameter from kPackedFrom up) are packed.
constexpr int kPackedFrom = 4;
constexpr uint32_t kMaxGaps = PostingBlock::kMaxValues - 1;

uint64_t load64(const uint8_t* p) {
  uint64_t x;
  std::memcpy(&x, p, 8);
  return x;
}

size_t low_bytes(uint32_t gaps, int k) { return (size_t{gaps} * static_cast<size_t>(k) + 7) / 8; }

// The parts of a block: its header's width (k, or the packed width) and
// count, where its low parts and its unary parts (none when packed) begin.
struct Layout {
  int k;
  bool packed;
  uint32_t n;
  const uint8_t* lows;
  const uint8_t* unary;
};

[[gnu::always_inline]] inline Layout layout(const uint8_t* in) {
  Layout l;
  l.k = in[0] & 0x0f;
  l.packed = in[0] & kPacked;
  l.n = PostingBlock::count(in);
  l.lows = in + (in[0] & kCountFollows ? 2 : 1);
  l.unary = l.lows + low_bytes(l.n - 1, l.k);
  return l;
}

// ---- Portable decoding ---------------------------------------------------------

// Decodes the block at `in` (reading up to 16 bytes past it); returns the
// bytes it takes.
size_t decode_portable(const uint8_t* in, uint16_t first, uint16_t* out) {
  const Layout l = layout(in);
  const uint32_t m = l.n - 1;
  const uint32_t mask = (1u << l.k) - 1;
  auto low = [&](uint32_t e) {
    const size_t at = size_t{e} * static_cast<size_t>(l.k);
    return l.k ? static_cast<uint32_t>(load64(l.lows + at / 8) >> (at % 8)) & mask : 0;
  };
  out[0] = first;
  uint32_t v = first;
  if (l.packed) {
    for (uint32_t e = 0; e < m; ++e) {
      v += low(e) + 1;
      out[e + 1] = static_cast<uint16_t>(v);
    }
    return static_cast<size_t>(l.unary - in);
  }
  uint32_t e = 0;
  const uint8_t* u = l.unary;
  uint32_t high = 0;  // zero bits of the gap being read, seen so far
  while (e < m) {
    uint32_t byte = *u++;
    uint32_t bit = 0;
    while (byte && e < m) {
      const uint32_t z = static_cast<uint32_t>(std::countr_zero(byte));
      high += z - bit;
      bit = z + 1;
      byte &= byte - 1;
      v += (high << l.k | low(e)) + 1;
      out[++e] = static_cast<uint16_t>(v);
      high = 0;
    }
    high += 8 - bit;
  }
  return static_cast<size_t>(u - in);
}

// ---- AVX2 decoding ---------------------------------------------------------------

// For eight k-bit fields in 16 bytes, lane i (of eight 32-bit lanes, four in
// each half of a register holding the 16 bytes twice) gathers the three
// bytes that hold field i, and shifts them right to its first bit.
struct UnpackTables {
  alignas(32) uint8_t shuffle[16][32];
  alignas(32) uint32_t shift[16][8];
  constexpr UnpackTables() : shuffle(), shift() {
    for (int k = 1; k < 16; ++k) {
      for (int i = 0; i < 8; ++i) {
        const int bit = i * k, byte = bit / 8;
        for (int b = 0; b < 4; ++b) shuffle[k][4 * i + b] = b < 3 ? static_cast<uint8_t>(byte + b) : 0x80;
        shift[k][i] = static_cast<uint32_t>(bit % 8);
      }
    }
  }
};
constexpr UnpackTables kUnpack;

// The positions of the one bits of each byte value, as eight bytes.
struct BitPositions {
  uint64_t of[256];
  constexpr BitPositions() : of() {
    for (int b = 0; b < 256; ++b) {
      int c = 0;
      for (int i = 0; i < 8; ++i)
        if (b >> i & 1) of[b] |= uint64_t(i) << (8 * c++);
    }
  }
};
constexpr BitPositions kBitPositions;

__attribute__((target("avx2,popcnt"), always_inline)) inline size_t decode_avx2(const uint8_t* in, uint16_t first,
                                                                                 uint16_t* out) {
  const Layout l = layout(in);
  const uint32_t m = l.n - 1;
  out[0] = first;
  if (m == 0) return static_cast<size_t>(l.unary - in);
  alignas(32) uint16_t low[kMaxGaps + 1 + 16];
  alignas(32) uint16_t pos[kMaxGaps + 1 + 16];
  const int k = l.k;
  // The low parts, sixteen at a time.
  if (k == 0) {
    std::memset(low, 0, sizeof low);
  } else {
    const __m256i shuffle = _mm256_load_si256(reinterpret_cast<const __m256i*>(kUnpack.shuffle[k]));
    const __m256i shift = _mm256_load_si256(reinterpret_cast<const __m256i*>(kUnpack.shift[k]));
    const __m256i mask = _mm256_set1_epi32((1 << k) - 1);
    for (uint32_t e = 0; e < m; e += 16) {
      const uint8_t* at = l.lows + size_t{e / 8} * static_cast<size_t>(k);
      // Reads stay within 16 bytes of the low parts' end: the second eight
      // are read only when there are some.
      __m256i a = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
      __m256i b = e + 8 < m ? _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + k)))
                            : _mm256_setzero_si256();
      a = _mm256_and_si256(_mm256_srlv_epi32(_mm256_shuffle_epi8(a, shuffle), shift), mask);
      b = _mm256_and_si256(_mm256_srlv_epi32(_mm256_shuffle_epi8(b, shuffle), shift), mask);
      // packus interleaves the halves: a0-3 b0-3 | a4-7 b4-7.
      const __m256i ab = _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xd8);
      _mm256_store_si256(reinterpret_cast<__m256i*>(low + e), ab);
    }
  }
  // The positions of the one bits of the unary parts, a byte at a time.
  const uint8_t* u = l.unary;
  if (!l.packed) {
    uint32_t found = 0;
    __m128i base = _mm_setzero_si128();
    const __m128i eight = _mm_set1_epi16(8);
    while (found < m) {
      const uint8_t byte = *u++;
      const __m128i at = _mm_cvtepu8_epi16(_mm_cvtsi64_si128(static_cast<long long>(kBitPositions.of[byte])));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(pos + found), _mm_add_epi16(at, base));
      found += static_cast<uint32_t>(_mm_popcnt_u32(byte));
      base = _mm_add_epi16(base, eight);
    }
  }
  // Number e + 1 is first + e + 1, plus the high parts of gaps 0..e shifted
  // by k (their sum is the position of gap e's one bit less e), plus their
  // low parts (a prefix sum); a packed block's gaps are all low parts. Every
  // partial sum is below the number itself, so 16-bit lanes hold them.
  __m256i carry = _mm256_set1_epi16(static_cast<short>(first + 1));
  __m256i iota = _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m256i sixteen = _mm256_set1_epi16(16);
  const __m256i last_word = _mm256_set1_epi16(0x0f0e);
  const __m128i kk = _mm_cvtsi32_si128(k);
  for (uint32_t e = 0; e < m; e += 16) {
    __m256i x = _mm256_load_si256(reinterpret_cast<const __m256i*>(low + e));
    x = _mm256_add_epi16(x, _mm256_slli_si256(x, 2));
    x = _mm256_add_epi16(x, _mm256_slli_si256(x, 4));
    x = _mm256_add_epi16(x, _mm256_slli_si256(x, 8));
    // The low half's total joins every lane of the high half.
    const __m256i low_total = _mm256_shuffle_epi8(x, last_word);
    x = _mm256_add_epi16(x, _mm256_permute2x128_si256(low_total, low_total, 0x08));
    x = _mm256_add_epi16(x, carry);
    carry = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(x, last_word), 0xff);
    __m256i v = _mm256_add_epi16(x, iota);
    if (!l.packed) {
      const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pos + e));
      v = _mm256_add_epi16(v, _mm256_sll_epi16(_mm256_sub_epi16(p, iota), kk));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 1 + e), v);
    iota = _mm256_add_epi16(iota, sixteen);
  }
  return static_cast<size_t>(u - in);
}

// Decode `count` consecutive blocks, each into `out` after the last.
size_t decode_run_portable(const uint8_t* in, const uint16_t* firsts, size_t count, uint16_t* out) {
  size_t n = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint32_t values = PostingBlock::count(in);
    in += decode_portable(in, firsts[i], out + n);
    n += values;
  }
  return n;
}

__attribute__((target("avx2,popcnt"))) size_t decode_run_avx2(const uint8_t* in, const uint16_t* firsts,
                                                               size_t count, uint16_t* out) {
  size_t n = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint32_t values = PostingBlock::count(in);
    in += decode_avx2(in, firsts[i], out + n);
    n += values;
  }
  return n;
}

using DecodeRunFn = size_t (*)(const uint8_t*, const uint16_t*, size_t, uint16_t*);

DecodeRunFn decode_run_impl(bool vector_instructions) {
  static const DecodeRunFn vector =
      __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") ? decode_run_avx2 : decode_run_portable;
  return vector_instructions ? vector : decode_run_portable;
}

// ---- Encoding --------------------------------------------------------------------

// Variable shifts take one instruction with BMI2, three without.
__attribute__((target_clones("bmi2", "default"))) size_t encode_block(const uint16_t* v, uint32_t n,
                                                                        uint8_t* out) {
  const uint32_t m = n - 1;
  uint16_t gap[kMaxGaps];
  uint32_t sum = 0, any = 0;
  for (uint32_t e = 0; e < m; ++e) {
    gap[e] = static_cast<uint16_t>(v[e + 1] - v[e] - 1);
    sum += gap[e];
    any |= gap[e];
  }
  // Packed gaps decode about twice as fast as Rice codes. The lists the
  // search counts are sparse ones, whose gaps vary little in width: packing
  // takes about a fifth more bytes there, and is chosen; elsewhere only
  // when it takes no more bytes.
  const int width = static_cast<int>(std::bit_width(any));
  bool packed = width < 16;
  int k = width;
  if (m > 0) {
    // A geometric gap of mean g is coded best with 2^k near g * ln 2. The
    // bytes of the Rice codes shrink, then grow, as k rises: from that
    // guess, walk downhill (unless the guess is clearly sparse).
    const uint32_t guess = sum / m * 11 / 16;
    const int start = std::min(15, guess ? static_cast<int>(std::bit_width(guess)) - 1 : 0);
    if (!packed || start <= kPackedFrom) {
      auto bytes = [&](int r) {
        uint32_t high = 0;
        for (uint32_t e = 0; e < m; ++e) high += gap[e] >> r;
        return low_bytes(m, r) + (m + high + 7) / 8;
      };
      int best_k = start;
      size_t best = bytes(start);
      for (int step : {-1, 1}) {
        for (int t = best_k + step; t >= 0 && t <= 15; t += step) {
          const size_t b = bytes(t);
          if (b >= best) break;
          best = b;
          best_k = t;
        }
      }
      packed = packed && (best_k >= kPackedFrom || low_bytes(m, width) <= best);
      if (!packed) k = best_k;
    }
  }
  uint8_t* p = out;
  *p++ = static_cast<uint8_t>(k | (packed ? kPacked : 0) | (n < PostingBlock::kMaxValues ? kCountFollows : 0));
  if (n < PostingBlock::kMaxValues) *p++ = static_cast<uint8_t>(n);
  // Each part is gathered in a register and stored a word at a time.
  const uint32_t mask = (1u << k) - 1;
  uint64_t bits = 0;
  uint32_t held = 0;
  for (uint32_t e = 0; e < m; ++e) {
    bits |= uint64_t{gap[e] & mask} << held;
    held += static_cast<uint32_t>(k);
    if (held >= 32) {
      const auto word = static_cast<uint32_t>(bits);
      std::memcpy(p, &word, 4);
      p += 4;
      bits >>= 32;
      held -= 32;
    }
  }
  for (; held > 0; held = held > 8 ? held - 8 : 0, bits >>= 8) *p++ = static_cast<uint8_t>(bits);
  if (packed) return static_cast<size_t>(p - out);
  bits = 0;
  held = 0;
  for (uint32_t e = 0; e < m; ++e) {
    held += gap[e] >> k;
    for (; held >= 64; held -= 64) {
      std::memcpy(p, &bits, 8);
      p += 8;
      bits = 0;
    }
    bits |= uint64_t{1} << held;
    if (++held == 64) {
      std::memcpy(p, &bits, 8);
      p += 8;
      bits = 0;
      held = 0;
    }
  }
  for (; held > 0; held = held > 8 ? held - 8 : 0, bits >>= 8) *p++ = static_cast<uint8_t>(bits);
  return static_cast<size_t>(p - out);
}

}  // namespace

size_t PostingBlock::encode(const uint16_t* v, uint32_t n, uint8_t* out) { return encode_block(v, n, out); }

size_t PostingBlock::decode(const uint8_t* in, size_t size, size_t readable, const uint16_t* firsts, size_t count,
                            uint16_t* out, bool vector_instructions) {
  const DecodeRunFn decode = decode_run_impl(vector_instructions);
  if (size + kReadPast <= readable) return decode(in, firsts, count, out);
  // Too close to the end of what may be read: the blocks are read from a
  // copy with room behind it.
  alignas(32) uint8_t copy[kMaxRunBytes + kReadPast];
  std::memcpy(copy, in, size);
  std::memset(copy + size, 0, kReadPast);
  return decode(copy, firsts, count, out);
}

}  // namespace vesk
