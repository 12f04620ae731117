#include "entities/neighbor_mass.h"

#include <gtest/gtest.h>

#include <bit>
#include <vector>

namespace vesk {
namespace {

// Byte-wise FNV-1a 64 as published, to pin the byte layout of the hashed input.
uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ull;
  return h;
}

int bits_set(const NeighborMassFootprint& fp) {
  int n = 0;
  for (uint64_t w : fp.words) n += std::popcount(w);
  return n;
}

TEST(NeighborMass, FootprintLightsHashOfIndexThenLittleEndianId) {
  ASSERT_EQ(fnv1a({'a'}), 0xaf63dc4c8601ec8cull);  // published test vector
  for (uint64_t v : {uint64_t{0}, uint64_t{1}, uint64_t{0x0102030405060708}, ~uint64_t{0}}) {
    NeighborMassFootprint want;
    for (uint8_t k = 0; k < 3; ++k) {
      std::vector<uint8_t> bytes{k};
      for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
      want.set(static_cast<unsigned>(fnv1a(bytes) % 512));
    }
    const uint64_t one[] = {v};
    EXPECT_EQ(neighbor_mass_footprint(one), want) << v;
  }
}

TEST(NeighborMass, RoleSimilarity) {
  const std::vector<uint64_t> empty, a{1, 2, 2}, b{2, 1}, c{1, 2, 3}, far{1000, 2000};
  EXPECT_EQ(neighbor_mass_role_similarity(empty, empty), 0.0f);
  EXPECT_EQ(neighbor_mass_role_similarity(a, empty), 0.0f);
  EXPECT_EQ(neighbor_mass_role_similarity(a, b), 1.0f);  // duplicates and order do not matter
  EXPECT_EQ(neighbor_mass_role_similarity(c, c), 1.0f);

  // Intersection over union of the bits, divided in 32-bit float.
  NeighborMassFootprint fa = neighbor_mass_footprint(a), fc = neighbor_mass_footprint(c);
  NeighborMassFootprint both, either;
  for (size_t i = 0; i < both.words.size(); ++i) {
    both.words[i] = fa.words[i] & fc.words[i];
    either.words[i] = fa.words[i] | fc.words[i];
  }
  float want = static_cast<float>(bits_set(both)) / static_cast<float>(bits_set(either));
  EXPECT_EQ(neighbor_mass_role_similarity(a, c), want);
  EXPECT_GT(want, 0.0f);
  EXPECT_LT(want, 1.0f);
  EXPECT_LT(neighbor_mass_role_similarity(a, far), 0.5f);
}

}  // namespace
}  // namespace vesk
