#include "index/bit_positions.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vesk {
namespace {

std::vector<uint16_t> read_by(BitPositionsCode code, const std::vector<uint64_t>& words, bool* ran) {
  std::vector<uint16_t> out(65536 + kBitPositionsSlack, 0xabcd);
  size_t n = 0;
  *ran = read_bit_positions_by(code, words.data(), out.data(), &n);
  out.resize(n);
  return out;
}

// Every position p whose bit is set, by testing all 65,536 of them.
std::vector<uint16_t> plain(const std::vector<uint64_t>& words) {
  std::vector<uint16_t> out;
  for (uint32_t p = 0; p < 65536; ++p)
    if (words[p / 64] >> (p % 64) & 1) out.push_back(static_cast<uint16_t>(p));
  return out;
}

// Sets from empty to full, with densities from one bit in a thousand words
// to every bit, and the edges (position 0, 65535, the halves of a word).
TEST(BitPositions, EveryImplementationReadsThePlainPositions) {
  std::mt19937_64 rng(3);
  std::vector<std::vector<uint64_t>> sets;
  sets.emplace_back(kBitSetWords, 0);
  sets.emplace_back(kBitSetWords, ~uint64_t{0});
  std::vector<uint64_t> edges(kBitSetWords, 0);
  edges[0] = 1;
  edges[kBitSetWords - 1] = uint64_t{1} << 63;
  edges[500] = (uint64_t{1} << 31) | (uint64_t{1} << 32);
  sets.push_back(edges);
  for (double density : {0.00002, 0.001, 0.05, 0.3, 0.5, 0.9}) {
    for (int t = 0; t < 4; ++t) {
      std::vector<uint64_t> w(kBitSetWords, 0);
      std::bernoulli_distribution bit(density);
      for (uint32_t p = 0; p < 65536; ++p)
        if (bit(rng)) w[p / 64] |= uint64_t{1} << (p % 64);
      sets.push_back(w);
    }
  }
  for (size_t i = 0; i < sets.size(); ++i) {
    const std::vector<uint16_t> expected = plain(sets[i]);
    for (BitPositionsCode code : {BitPositionsCode::Portable, BitPositionsCode::Avx512}) {
      bool ran = false;
      std::vector<uint16_t> got = read_by(code, sets[i], &ran);
      if (!ran) continue;  // the processor lacks the instructions
      EXPECT_EQ(got, expected) << "set " << i << ", code " << static_cast<int>(code);
    }
    std::vector<uint16_t> out(65536 + kBitPositionsSlack);
    out.resize(read_bit_positions(sets[i].data(), out.data()));
    EXPECT_EQ(out, expected) << "set " << i;
  }
}

}  // namespace
}  // namespace vesk
