#include "storage/packed_sdr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/coding.h"

namespace vesk {
namespace {

std::vector<uint16_t> random_ascending(std::mt19937& rng, size_t n, uint32_t range) {
  std::set<uint16_t> s;
  while (s.size() < std::min<size_t>(n, range)) s.insert(static_cast<uint16_t>(rng() % range));
  return std::vector<uint16_t>(s.begin(), s.end());
}

// The bytes a packed SDR takes in the blocks form: header, heads, and each
// block's min(count, 32) body bytes.
size_t blocks_size(const std::vector<uint16_t>& positions) {
  size_t counts[256] = {};
  for (uint16_t p : positions) ++counts[p >> 8];
  size_t n = PackedSdr::kHeaderSize + 256;
  for (size_t c : counts) n += std::min<size_t>(c, 32);
  return n;
}

// Packing and unpacking gives back exactly the sequence packed, in the form
// and size the layout promises, from values and from little-endian bytes.
TEST(PackedSdr, KeepsTheSequenceInTheFormItsOrderAllows) {
  std::mt19937 rng(5);
  struct Case {
    const char* name;
    std::vector<uint16_t> positions;
    PackedSdr::Form form;
  };
  std::vector<Case> cases = {
      {"empty", {}, PackedSdr::Form::kPlain},
      {"one", {7}, PackedSdr::Form::kBlocks},
      {"ends of the range", {0, 255, 256, 65535}, PackedSdr::Form::kBlocks},
      {"out of order", {3, 1, 7}, PackedSdr::Form::kPlain},
      {"repeat", {1, 2, 2, 9}, PackedSdr::Form::kPlain},
      {"every position", {}, PackedSdr::Form::kBlocks},
  };
  for (uint32_t p = 0; p < 65536; ++p) cases.back().positions.push_back(static_cast<uint16_t>(p));
  for (int i = 0; i < 20; ++i) {
    cases.push_back({"general", random_ascending(rng, rng() % 6000, 65536), PackedSdr::Form::kBlocks});
    cases.push_back({"core", random_ascending(rng, 1 + rng() % 4096, 4096), PackedSdr::Form::kBlocks});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string le;
    for (uint16_t p : c.positions) put_le<uint16_t>(&le, p);
    const SdrPacker from_values(c.positions), from_bytes(le.data(), c.positions.size());
    ASSERT_EQ(from_values.packed_size(), from_bytes.packed_size());
    ASSERT_EQ(from_values.packed_size() % 8, 0u);
    std::vector<uint64_t> a(from_values.packed_size() / 8 + 1, ~uint64_t{0}), b(a.size(), 0);
    const PackedSdr& packed = from_values.pack_into(a.data());
    const PackedSdr& other = from_bytes.pack_into(b.data());
    // The same bytes from either source, but for where each plain form's positions are.
    EXPECT_EQ(std::memcmp(a.data(), b.data(), 8), 0);
    const size_t data = PackedSdr::kHeaderSize;
    EXPECT_EQ(std::memcmp(reinterpret_cast<const char*>(a.data()) + data, reinterpret_cast<const char*>(b.data()) + data,
                          from_values.packed_size() - data),
              0);
    EXPECT_EQ(other.positions(), c.positions);
    EXPECT_EQ(a.back(), ~uint64_t{0}) << "nothing written past packed_size()";

    EXPECT_EQ(packed.form(), c.form);
    EXPECT_EQ(packed.size(), c.positions.size());
    EXPECT_EQ(packed.positions(), c.positions);
    const size_t want = c.form == PackedSdr::Form::kPlain ? PackedSdr::kHeaderSize + 2 * c.positions.size()
                                                          : blocks_size(c.positions);
    EXPECT_EQ(packed.byte_size(), want);
    EXPECT_EQ(from_values.packed_size(), (want + 7) / 8 * 8);
  }
}

TEST(PackedSdr, PlainViewRefersToTheListItWasGiven) {
  const std::vector<uint16_t> list = {5, 3, 3, 900};
  uint64_t header[PackedSdr::kHeaderSize / 8];
  const PackedSdr& view = PackedSdr::plain_view_into(header, list);
  EXPECT_EQ(view.form(), PackedSdr::Form::kPlain);
  EXPECT_EQ(view.plain().data(), list.data());
  EXPECT_EQ(view.positions(), list);
  EXPECT_EQ(view.byte_size(), PackedSdr::kHeaderSize) << "it holds no positions of its own";
  EXPECT_TRUE(PackedSdr::plain_view_into(header, {}).empty());
}

TEST(PackedSdr, ARecordOfFourThousandPositionsTakesAboutHalf) {
  std::mt19937 rng(9);
  const std::vector<uint16_t> positions = random_ascending(rng, 4050, 65536);
  const PackedSdrBuffer packed(positions);
  EXPECT_LE(packed.get().byte_size(), PackedSdr::kHeaderSize + 256 + 4050);
  EXPECT_LT(packed.get().byte_size(), positions.size() * 2 * 55 / 100);
}

}  // namespace
}  // namespace vesk
