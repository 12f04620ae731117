#include "index/sdr_count.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>
#include <vector>

namespace vesk {
namespace {

TEST(SdrCount, RescoringCountsMatchAMerge) {
  std::mt19937 rng(3);
  for (int round = 0; round < 50; ++round) {
    std::set<uint16_t> a, b;
    const size_t na = rng() % 600, nb = rng() % (round % 2 ? 5000 : 2000);
    while (a.size() < na) a.insert(static_cast<uint16_t>(rng()));
    while (b.size() < nb) b.insert(static_cast<uint16_t>(rng() % (round % 2 ? 65536 : 2000)));
    const Sdr q(a.begin(), a.end()), s(b.begin(), b.end());
    std::vector<uint64_t> bits(1024);
    for (uint16_t p : q) bits[p >> 6] |= uint64_t{1} << (p & 63);
    EXPECT_EQ(count_positions_in(bits.data(), s, true), sdr_overlap(q, s));
    EXPECT_EQ(count_positions_in(bits.data(), s, false), sdr_overlap(q, s));
  }
}

Sdr ascending(std::set<uint16_t> s) { return Sdr(s.begin(), s.end()); }

// Stored SDRs of every shape the packed form distinguishes, against queries
// from sparse to dense: the packed count, on both code paths, equals the
// count over the plain list.
TEST(SdrCount, PackedCountMatchesThePlainCount) {
  std::mt19937 rng(17);
  auto spread = [&](size_t n, uint32_t lo, uint32_t hi) {
    std::set<uint16_t> s;
    while (s.size() < n) s.insert(static_cast<uint16_t>(lo + rng() % (hi - lo)));
    return s;
  };
  struct Shape {
    const char* name;
    std::function<Sdr()> make;
  };
  const Shape shapes[] = {
      // A stored record: ~4,000 positions over the whole range, short lists.
      {"general", [&] { return ascending(spread(rng() % 5000, 0, 65536)); }},
      // A core record: everything in the first 16 blocks, mostly bitmaps.
      {"core", [&] { return ascending(spread(rng() % 4096, 0, 4096)); }},
      // Blocks right at the list/bitmap edge, and the first and last positions.
      {"edges",
       [&] {
         std::set<uint16_t> s{0, 65535};
         for (uint32_t b = 0; b < 256; b += 1 + rng() % 8) {
           const size_t n = 30 + rng() % 5;  // 30 to 34 positions
           for (uint16_t x : spread(n, 0, 256)) s.insert(static_cast<uint16_t>(b << 8 | x));
         }
         return ascending(s);
       }},
      // Full blocks and a few scattered ones.
      {"full blocks",
       [&] {
         std::set<uint16_t> s = spread(rng() % 50, 0, 65536);
         for (int k = 0; k < 3; ++k) {
           const uint32_t b = rng() % 256;
           for (uint32_t x = 0; x < 256; ++x) s.insert(static_cast<uint16_t>(b << 8 | x));
         }
         return ascending(s);
       }},
      // Only the last blocks: the vector code hands them to the scalar tail.
      {"tail", [&] { return ascending(spread(1 + rng() % 60, 65000, 65536)); }},
      // Out of order, with repeats: kept as given.
      {"unordered",
       [&] {
         Sdr s;
         for (size_t n = rng() % 3000; s.size() < n;) s.push_back(static_cast<uint16_t>(rng()));
         if (!s.empty()) s.push_back(s.front());
         return s;
       }},
      {"empty", [&] { return Sdr(); }},
  };
  for (const Shape& shape : shapes) {
    for (int round = 0; round < 40; ++round) {
      const Sdr stored = shape.make();
      const PackedSdrBuffer packed(stored);
      std::vector<uint64_t> bits(1024);
      const size_t nq = std::vector<size_t>{10, 600, 5000, 40000}[round % 4];
      for (uint16_t p : spread(nq, 0, 65536)) bits[p >> 6] |= uint64_t{1} << (p & 63);
      // Queries that cover whole stored blocks too.
      if (round % 5 == 0)
        for (uint16_t p : stored) bits[p >> 6] |= uint64_t{1} << (p & 63);
      size_t want = 0;
      for (uint16_t p : stored) want += bits[p >> 6] >> (p & 63) & 1;
      ASSERT_EQ(count_positions_in(bits.data(), stored, false), want) << shape.name;
      EXPECT_EQ(count_positions_in(bits.data(), packed.get(), true), want) << shape.name << " round " << round;
      EXPECT_EQ(count_positions_in(bits.data(), packed.get(), false), want) << shape.name << " round " << round;
    }
  }
}

}  // namespace
}  // namespace vesk
