// Neighbour-mass footprints: a fixed-size presence sketch of an entity's
// neighbour ids, and the role similarity of two entities as the Jaccard
// overlap of their sketches.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace vesk {

inline constexpr int kNeighborMassFootprintBits = 512;
inline constexpr int kNeighborMassHashesPerNeighbor = 3;

// 512 bits; each distinct neighbour id lights up to three of them.
struct NeighborMassFootprint {
  std::array<uint64_t, kNeighborMassFootprintBits / 64> words{};

  bool test(unsigned bit) const { return (words[bit / 64] >> (bit % 64)) & 1u; }
  void set(unsigned bit) { words[bit / 64] |= uint64_t{1} << (bit % 64); }
  bool operator==(const NeighborMassFootprint&) const = default;
};

// For each id v and k in 0..2, sets bit FNV-1a-64(k, v as 8 little-endian
// bytes) mod 512. Repeated ids change nothing.
NeighborMassFootprint neighbor_mass_footprint(std::span<const uint64_t> neighbors);

// |A & B| / |A | B| over the footprint bits, divided in 32-bit float; 0 when
// both footprints are empty.
float neighbor_mass_role_similarity(const NeighborMassFootprint& a, const NeighborMassFootprint& b);
float neighbor_mass_role_similarity(std::span<const uint64_t> a, std::span<const uint64_t> b);

}  // namespace vesk
