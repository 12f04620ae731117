#include "index/posting_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace vesk {
namespace {

// n ascending numbers below 65,536 whose gaps are drawn from `spread`
// (1: consecutive numbers; larger: sparser), with an occasional jump.
std::vector<uint16_t> random_block(std::mt19937& rng, uint32_t n, uint32_t spread) {
  for (;;) {
    std::vector<uint16_t> v;
    uint32_t x = rng() % 512;
    for (uint32_t i = 0; i < n && x < 65536; ++i) {
      v.push_back(static_cast<uint16_t>(x));
      x += 1 + rng() % spread + (rng() % 50 == 0 ? rng() % (8 * spread) : 0);
    }
    if (v.size() == n) return v;
  }
}

// Blocks of every size and density, alone and in runs, decode to what was
// encoded on both paths, in place and from a copy; no block outgrows its
// bound, and a full one never takes more than 240 bytes.
TEST(PostingBlock, DecodesWhatWasEncoded) {
  std::mt19937 rng(3);
  for (int round = 0; round < 3000; ++round) {
    const size_t count = 1 + rng() % PostingBlock::kRunBlocks;
    std::vector<std::vector<uint16_t>> blocks;
    std::vector<uint8_t> bytes;
    std::vector<uint16_t> firsts, want;
    for (size_t b = 0; b < count; ++b) {
      const uint32_t n = rng() % 3 ? PostingBlock::kMaxValues : 1 + rng() % PostingBlock::kMaxValues;
      const uint32_t spread = std::vector<uint32_t>{1, 2, 3, 8, 40, 300, 500}[rng() % 7];
      std::vector<uint16_t> v = random_block(rng, n, spread);
      const size_t at = bytes.size();
      bytes.resize(at + PostingBlock::max_bytes(n));
      const size_t size = PostingBlock::encode(v.data(), n, bytes.data() + at);
      ASSERT_LE(size, PostingBlock::max_bytes(n));
      if (n == PostingBlock::kMaxValues) ASSERT_LE(size, 240u);
      EXPECT_EQ(PostingBlock::count(bytes.data() + at), n);
      bytes.resize(at + size);
      firsts.push_back(v[0]);
      want.insert(want.end(), v.begin(), v.end());
    }
    const size_t size = bytes.size();
    // Readable: exactly the blocks (read from a copy), or 16 bytes more.
    for (size_t readable : {size, size + PostingBlock::kReadPast}) {
      std::vector<uint8_t> memory(bytes);
      memory.resize(readable, 0xee);
      for (bool vector : {true, false}) {
        std::vector<uint16_t> got(want.size() + 16);
        const size_t n = PostingBlock::decode(memory.data(), size, readable, firsts.data(), count, got.data(), vector);
        got.resize(n);
        ASSERT_EQ(got, want) << "round " << round << (vector ? " vector" : " portable") << " readable " << readable;
      }
    }
  }
}

// The extremes: one number; numbers 0..127; the widest gaps; 128 numbers
// spread over the whole range.
TEST(PostingBlock, Extremes) {
  std::vector<std::vector<uint16_t>> cases = {{0}, {65535}, {0, 65535}, {7, 8, 9}};
  std::vector<uint16_t> run(128), spread(128);
  for (uint16_t i = 0; i < 128; ++i) {
    run[i] = i;
    spread[i] = static_cast<uint16_t>(i * 516);
  }
  cases.push_back(run);
  cases.push_back(spread);
  for (const auto& v : cases) {
    const uint32_t n = static_cast<uint32_t>(v.size());
    std::vector<uint8_t> bytes(PostingBlock::max_bytes(n) + PostingBlock::kReadPast);
    const size_t size = PostingBlock::encode(v.data(), n, bytes.data());
    for (bool vector : {true, false}) {
      std::vector<uint16_t> got(n + 16);
      got.resize(PostingBlock::decode(bytes.data(), size, bytes.size(), &v[0], 1, got.data(), vector));
      EXPECT_EQ(got, v) << n;
    }
  }
}

// A full block may be written over its own plain numbers.
TEST(PostingBlock, EncodesOverItsOwnNumbers) {
  std::mt19937 rng(8);
  for (uint32_t spread : {1u, 5u, 60u, 500u}) {
    const std::vector<uint16_t> v = random_block(rng, PostingBlock::kMaxValues, spread);
    std::vector<uint8_t> apart(PostingBlock::max_bytes(PostingBlock::kMaxValues));
    apart.resize(PostingBlock::encode(v.data(), PostingBlock::kMaxValues, apart.data()));
    std::vector<uint16_t> memory(v);
    memory.resize(v.size() + 8);
    auto* bytes = reinterpret_cast<uint8_t*>(memory.data());
    const size_t size = PostingBlock::encode(memory.data(), PostingBlock::kMaxValues, bytes);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + size), apart) << spread;
  }
}

}  // namespace
}  // namespace vesk
