#include "base/sha256.h"

#include <sodium.h>

#include <cstring>

#include "base/hex.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace vesk {

namespace {

#if defined(__x86_64__)

// SHA-256 with the processor's SHA extensions, which hash several times
// faster than the portable code: a container capture hashes every file of
// the store. Used only where the processor has them; the result is the same.
constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

__attribute__((target("sha,sse4.1,ssse3"))) void compress_blocks(uint32_t state[8], const uint8_t* data,
                                                                size_t blocks) {
  const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  // The instructions keep the state as ABEF and CDGH.
  __m128i tmp = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0])), 0xB1);
  __m128i state1 = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4])), 0x1B);
  __m128i state0 = _mm_alignr_epi8(tmp, state1, 8);
  state1 = _mm_blend_epi16(state1, tmp, 0xF0);

  for (; blocks > 0; --blocks, data += 64) {
    const __m128i abef = state0, cdgh = state1;
    __m128i w[4];
    for (int g = 0; g < 16; ++g) {
      __m128i& cur = w[g & 3];
      if (g < 4) {
        cur = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * g)), byte_swap);
      } else {
        // W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16], four at a time.
        __m128i x = _mm_sha256msg1_epu32(w[g & 3], w[(g + 1) & 3]);
        x = _mm_add_epi32(x, _mm_alignr_epi8(w[(g + 3) & 3], w[(g + 2) & 3], 4));
        cur = _mm_sha256msg2_epu32(x, w[(g + 3) & 3]);
      }
      __m128i msg = _mm_add_epi32(cur, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * g])));
      state1 = _mm_sha256rnds2_epu32(state1, state0, msg);
      state0 = _mm_sha256rnds2_epu32(state0, state1, _mm_shuffle_epi32(msg, 0x0E));
    }
    state0 = _mm_add_epi32(state0, abef);
    state1 = _mm_add_epi32(state1, cdgh);
  }

  tmp = _mm_shuffle_epi32(state0, 0x1B);
  state1 = _mm_shuffle_epi32(state1, 0xB1);
  state0 = _mm_blend_epi16(tmp, state1, 0xF0);
  state1 = _mm_alignr_epi8(state1, tmp, 8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), state0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), state1);
}

bool has_sha_extensions() {
  static const bool has = __builtin_cpu_supports("sha") && __builtin_cpu_supports("sse4.1");
  return has;
}

Sha256Digest sha256_extensions(std::string_view bytes) {
  uint32_t state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  const size_t whole = bytes.size() / 64;
  compress_blocks(state, p, whole);
  // The last partial block, the 0x80 byte, zeros and the bit length.
  uint8_t tail[128] = {};
  const size_t rest = bytes.size() - whole * 64;
  if (rest) std::memcpy(tail, p + whole * 64, rest);
  tail[rest] = 0x80;
  const size_t tail_blocks = rest + 9 <= 64 ? 1 : 2;
  const uint64_t bits = static_cast<uint64_t>(bytes.size()) * 8;
  for (int i = 0; i < 8; ++i) tail[tail_blocks * 64 - 1 - i] = static_cast<uint8_t>(bits >> (8 * i));
  compress_blocks(state, tail, tail_blocks);
  Sha256Digest out;
  for (int i = 0; i < 8; ++i) {
    for (int b = 0; b < 4; ++b) out[4 * i + b] = static_cast<uint8_t>(state[i] >> (24 - 8 * b));
  }
  return out;
}

#endif

}  // namespace

Sha256Digest sha256(std::string_view bytes) {
#if defined(__x86_64__)
  if (has_sha_extensions()) return sha256_extensions(bytes);
#endif
  return sha256_portable(bytes);
}

Sha256Digest sha256_portable(std::string_view bytes) {
  Sha256Digest out;
  crypto_hash_sha256(out.data(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return out;
}

std::string digest_hex(const Sha256Digest& digest) {
  return hex_encode(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
}

std::string sha256_hex(std::string_view bytes) { return digest_hex(sha256(bytes)); }

}  // namespace vesk
