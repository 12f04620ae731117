#include "index/chacha12.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <cstring>
#include <vector>

namespace vesk {
namespace {

std::array<uint32_t, 8> key_words(const std::array<uint8_t, 32>& k) {
  std::array<uint32_t, 8> w;
  std::memcpy(w.data(), k.data(), 32);
  return w;
}

std::vector<uint8_t> keystream(const std::array<uint8_t, 32>& key, int rounds, size_t blocks) {
  std::vector<uint8_t> out(blocks * 64);
  for (size_t b = 0; b < blocks; ++b) {
    uint32_t w[16];
    chacha_block(key_words(key), b, 0, rounds, w);
    std::memcpy(out.data() + 64 * b, w, 64);
  }
  return out;
}

// With 20 rounds the block function and the counter/stream layout must give
// the original ChaCha20 keystream (64-bit counter, 64-bit nonce).
TEST(ChaCha, TwentyRoundsMatchReferenceKeystream) {
  ASSERT_GE(sodium_init(), 0);
  std::array<uint8_t, 32> key;
  for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(i * 7 + 3);
  const unsigned char nonce[8] = {0};
  std::vector<uint8_t> want(3 * 64);
  crypto_stream_chacha20(want.data(), want.size(), nonce, key.data());
  EXPECT_EQ(keystream(key, 20, 3), want);
}

TEST(ChaCha, TwelveRoundsKnownKeystream) {
  // ChaCha12, all-zero key and nonce: first 32 bytes of the keystream.
  const uint8_t want[32] = {0x9b, 0xf4, 0x9a, 0x6a, 0x07, 0x55, 0xf9, 0x53, 0x81, 0x1f, 0xce,
                            0x12, 0x5f, 0x26, 0x83, 0xd5, 0x04, 0x29, 0xc3, 0xbb, 0x49, 0xe0,
                            0x74, 0x14, 0x7e, 0x00, 0x89, 0xa5, 0x2e, 0xae, 0x15, 0x5f};
  std::vector<uint8_t> got = keystream({}, 12, 1);
  EXPECT_EQ(0, std::memcmp(got.data(), want, 32));
}

TEST(ChaCha, DrawsReadTheKeystreamInOrder) {
  std::array<uint8_t, 32> seed;
  for (int i = 0; i < 32; ++i) seed[i] = static_cast<uint8_t>(255 - i);
  std::vector<uint8_t> ks = keystream(seed, 12, 2);
  ChaCha12Rng rng(seed);
  // 16 draws of 64 bits span two blocks; each is words (2i, 2i+1), low first.
  for (int i = 0; i < 16; ++i) {
    uint64_t want;
    std::memcpy(&want, ks.data() + 8 * i, 8);
    EXPECT_EQ(rng.next_u64(), want) << i;
  }
}

TEST(ChaCha, UniformDrawRejectsOutsideTheZone) {
  // size 2^31 - 2: zone = (size << 33) - 1 = 0xFFFFFFFBFFFFFFFF.
  const uint64_t size = (uint64_t{1} << 31) - 2;
  struct Case {
    std::vector<uint64_t> draws;
    uint64_t want;
    size_t used;
  };
  // v = 2^63 gives product 2^94 - 2^64: low half 0, high 2^30 - 1.
  // v = 2^64 - 1 gives low half 2^64 - size > zone: rejected.
  const Case cases[] = {
      {{uint64_t{1} << 63}, 1 + (uint64_t{1} << 30) - 1, 1},
      {{0}, 1, 1},
      {{~uint64_t{0}, uint64_t{1} << 63}, 1 + (uint64_t{1} << 30) - 1, 2},
  };
  for (const Case& c : cases) {
    size_t i = 0;
    uint64_t got = uniform_in([&] { return c.draws[i++]; }, 1, size);
    EXPECT_EQ(got, c.want);
    EXPECT_EQ(i, c.used);
  }
}

}  // namespace
}  // namespace vesk
