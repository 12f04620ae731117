#include "index/chacha12.h"

#include <bit>

namespace vesk {
namespace {

constexpr uint32_t kSigma[4] = {0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};  // "expand 32-byte k"

inline void quarter(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d) {
  a += b, d ^= a, d = std::rotl(d, 16);
  c += d, b ^= c, b = std::rotl(b, 12);
  a += b, d ^= a, d = std::rotl(d, 8);
  c += d, b ^= c, b = std::rotl(b, 7);
}

}  // namespace

void chacha_block(const std::array<uint32_t, 8>& key, uint64_t counter, uint64_t stream, int rounds,
                  uint32_t out[16]) {
  uint32_t in[16] = {kSigma[0], kSigma[1], kSigma[2], kSigma[3], key[0], key[1], key[2], key[3],
                     key[4],    key[5],    key[6],    key[7],    static_cast<uint32_t>(counter),
                     static_cast<uint32_t>(counter >> 32), static_cast<uint32_t>(stream),
                     static_cast<uint32_t>(stream >> 32)};
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = in[i];
  for (int r = 0; r < rounds; r += 2) {
    quarter(x[0], x[4], x[8], x[12]);
    quarter(x[1], x[5], x[9], x[13]);
    quarter(x[2], x[6], x[10], x[14]);
    quarter(x[3], x[7], x[11], x[15]);
    quarter(x[0], x[5], x[10], x[15]);
    quarter(x[1], x[6], x[11], x[12]);
    quarter(x[2], x[7], x[8], x[13]);
    quarter(x[3], x[4], x[9], x[14]);
  }
  for (int i = 0; i < 16; ++i) out[i] = x[i] + in[i];
}

ChaCha12Rng::ChaCha12Rng(const std::array<uint8_t, 32>& seed, uint64_t stream) : stream_(stream) {
  for (int i = 0; i < 8; ++i)
    key_[i] = uint32_t{seed[4 * i]} | uint32_t{seed[4 * i + 1]} << 8 | uint32_t{seed[4 * i + 2]} << 16 |
              uint32_t{seed[4 * i + 3]} << 24;
}

uint32_t ChaCha12Rng::next_u32() {
  if (index_ == 16) {
    chacha_block(key_, counter_++, stream_, 12, block_);
    index_ = 0;
  }
  return block_[index_++];
}

uint64_t ChaCha12Rng::next_u64() {
  uint64_t lo = next_u32();
  uint64_t hi = next_u32();
  return lo | hi << 32;
}

}  // namespace vesk
