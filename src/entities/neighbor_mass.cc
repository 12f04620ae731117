#include "entities/neighbor_mass.h"

#include <bit>

namespace vesk {
namespace {

constexpr uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ull;
constexpr uint64_t kFnvPrime = 0x100000001b3ull;

// FNV-1a over the byte k followed by v in little-endian order.
uint64_t neighbor_hash(uint8_t k, uint64_t v) {
  uint64_t h = (kFnvOffsetBasis ^ k) * kFnvPrime;
  for (int i = 0; i < 8; ++i) h = (h ^ ((v >> (8 * i)) & 0xff)) * kFnvPrime;
  return h;
}

}  // namespace

NeighborMassFootprint neighbor_mass_footprint(std::span<const uint64_t> neighbors) {
  NeighborMassFootprint fp;
  for (uint64_t v : neighbors) {
    for (uint8_t k = 0; k < kNeighborMassHashesPerNeighbor; ++k) {
      fp.set(static_cast<unsigned>(neighbor_hash(k, v) % kNeighborMassFootprintBits));
    }
  }
  return fp;
}

float neighbor_mass_role_similarity(const NeighborMassFootprint& a, const NeighborMassFootprint& b) {
  unsigned in_both = 0, in_either = 0;
  for (size_t i = 0; i < a.words.size(); ++i) {
    in_both += std::popcount(a.words[i] & b.words[i]);
    in_either += std::popcount(a.words[i] | b.words[i]);
  }
  if (in_either == 0) return 0.0f;
  return static_cast<float>(in_both) / static_cast<float>(in_either);
}

float neighbor_mass_role_similarity(std::span<const uint64_t> a, std::span<const uint64_t> b) {
  return neighbor_mass_role_similarity(neighbor_mass_footprint(a), neighbor_mass_footprint(b));
}

}  // namespace vesk
