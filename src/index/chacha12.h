// ChaCha12 used as a seedable pseudo-random generator.
//
// The generator is the ChaCha stream cipher with 12 rounds over the state
//   constants | 32-byte key | 64-bit block counter | 64-bit stream number
// (words 12-13 the counter, 14-15 the stream, both little-endian halves),
// with the counter and stream starting at 0. Its output is the keystream read
// as consecutive 32-bit little-endian words; a 64-bit draw takes the next two
// words, the first as the low half. Nothing here is used for secrecy: the
// generator only has to give the same numbers on every machine.
#pragma once

#include <array>
#include <cstdint>

namespace vesk {

// One keystream block (16 words) of ChaCha with `rounds` rounds (an even
// number). Exposed so the core can be checked against known keystreams.
void chacha_block(const std::array<uint32_t, 8>& key, uint64_t counter, uint64_t stream, int rounds,
                  uint32_t out[16]);

class ChaCha12Rng {
 public:
  explicit ChaCha12Rng(const std::array<uint8_t, 32>& seed, uint64_t stream = 0);

  uint32_t next_u32();
  uint64_t next_u64();

 private:
  std::array<uint32_t, 8> key_;
  uint64_t counter_ = 0;
  uint64_t stream_;
  uint32_t block_[16];
  unsigned index_ = 16;  // next unread word of block_
};

// A value uniform in [start, start + size) (size >= 1) from 64-bit draws, by
// widening multiplication with rejection: for a draw v, the 128-bit product
// v * size is accepted when its low half is at most
// (size << countl_zero(size)) - 1, and then gives start + its high half.
template <class Draw>
uint64_t uniform_in(Draw&& next_u64, uint64_t start, uint64_t size) {
  const uint64_t zone = (size << __builtin_clzll(size)) - 1;
  for (;;) {
    unsigned __int128 m = static_cast<unsigned __int128>(next_u64()) * size;
    if (static_cast<uint64_t>(m) <= zone) return start + static_cast<uint64_t>(m >> 64);
  }
}

}  // namespace vesk
