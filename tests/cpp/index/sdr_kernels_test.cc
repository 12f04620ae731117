#include "index/sdr_kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vesk {
namespace {

constexpr SdrKernelCode kCodes[] = {SdrKernelCode::Portable, SdrKernelCode::Avx2, SdrKernelCode::Avx512};

FourGramRange range_of(uint32_t start, uint32_t width) {
  FourGramRange r{start, width, {}};
  for (size_t k = 0; k < kFourGramPositions; ++k) r.offsets[k] = static_cast<uint32_t>(k * 9999 % width);
  return r;
}

// Every implementation gives each residue's 20 positions as the plain
// formula does, in the encoder's two ranges and one whose offsets wrap
// often, for residues at both ends of the range and at random.
TEST(SdrKernels, FourGramExpansionMatchesThePlainFormula) {
  std::mt19937 rng(21);
  for (const FourGramRange& range : {range_of(4096, 258048), range_of(0, 4096), range_of(65000, 10007)}) {
    std::vector<uint32_t> residues = {0, 1, range.width - 1, range.width / 2};
    for (int i = 0; i < 500; ++i) residues.push_back(rng() % range.width);
    std::vector<uint16_t> expected;
    for (uint32_t r : residues)
      for (size_t k = 0; k < kFourGramPositions; ++k)
        expected.push_back(static_cast<uint16_t>(range.start + (uint64_t{r} + k * 9999) % range.width));
    for (SdrKernelCode code : kCodes) {
      // Slices of every length, so that each ends at every place of a vector.
      for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{7}, residues.size()}) {
        std::vector<uint16_t> out(kFourGramPositions * n + 16, 0xabcd);
        if (!expand_four_grams_by(code, range, residues.data(), n, out.data())) break;
        out.resize(kFourGramPositions * n);
        EXPECT_EQ(out, std::vector<uint16_t>(expected.begin(), expected.begin() + static_cast<ptrdiff_t>(out.size())))
            << "code " << static_cast<int>(code) << ", " << n << " residues";
      }
    }
    std::vector<uint16_t> out(expected.size());
    expand_four_grams(range, residues.data(), residues.size(), out.data());
    EXPECT_EQ(out, expected);
  }
}

TEST(SdrKernels, SetBitPositionsSetsExactlyTheGivenBits) {
  std::mt19937 rng(4);
  std::vector<uint16_t> positions = {0, 63, 64, 65535, 65535, 0};
  for (int i = 0; i < 3000; ++i) positions.push_back(static_cast<uint16_t>(rng()));
  std::vector<uint64_t> words(kBitSetWords, 0), expected(kBitSetWords, 0);
  for (uint16_t p : positions) expected[p / 64] |= uint64_t{1} << (p % 64);
  set_bit_positions(words.data(), positions.data(), positions.size());
  EXPECT_EQ(words, expected);
}

std::vector<uint16_t> read_by(SdrKernelCode code, const std::vector<uint64_t>& words, bool* ran) {
  std::vector<uint16_t> out(65536 + kBitPositionsSlack, 0xabcd);
  size_t n = 0;
  *ran = read_bit_positions_by(code, words.data(), out.data(), &n);
  out.resize(n);
  return out;
}

// Every position p whose bit is set, by testing all 65,536 of them.
std::vector<uint16_t> plain_read(const std::vector<uint64_t>& words) {
  std::vector<uint16_t> out;
  for (uint32_t p = 0; p < 65536; ++p)
    if (words[p / 64] >> (p % 64) & 1) out.push_back(static_cast<uint16_t>(p));
  return out;
}

// Sets from empty to full, with densities from one bit in a thousand words
// to every bit, and the edges (position 0, 65535, the halves of a word).
TEST(SdrKernels, EveryReadOutGivesThePlainPositions) {
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
    const std::vector<uint16_t> expected = plain_read(sets[i]);
    for (SdrKernelCode code : kCodes) {
      bool ran = false;
      std::vector<uint16_t> got = read_by(code, sets[i], &ran);
      if (!ran) continue;  // no such implementation, or the processor lacks it
      EXPECT_EQ(got, expected) << "set " << i << ", code " << static_cast<int>(code);
    }
    std::vector<uint16_t> out(65536 + kBitPositionsSlack);
    out.resize(read_bit_positions(sets[i].data(), out.data()));
    EXPECT_EQ(out, expected) << "set " << i;
  }
}

}  // namespace
}  // namespace vesk
