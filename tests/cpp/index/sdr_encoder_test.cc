#include "index/sdr_encoder.h"

#include <gtest/gtest.h>

#include <xxhash.h>

#include <algorithm>
#include <bit>
#include <random>
#include <string>

namespace vesk {
namespace {

Sdr general(std::string_view t, SdrCase m = SdrCase::Fold) { return encode_sdr(SdrEncoder{}, t, SdrRange::General, m); }
Sdr core(std::string_view t) { return encode_sdr(SdrEncoder{}, t, SdrRange::Core, SdrCase::Fold); }

TEST(SdrEncoder, WorkedValues) {
  EXPECT_EQ(general("abc"), (Sdr{26960, 28297, 33628, 43199}));
  EXPECT_EQ(core("abc"), (Sdr{860, 2239, 2384, 3721}));
  EXPECT_EQ(general("ab"), (Sdr{33628, 34965}));
  EXPECT_EQ(general("a1c"), (Sdr{34620, 40715, 42052, 61681}));
  EXPECT_EQ(general("abcd").size(), 27u);
  EXPECT_EQ(general("Hello").size(), 50u);
  EXPECT_EQ(general("a").size(), 2u);
}

TEST(SdrEncoder, BlankTextsAreEmpty) {
  for (std::string_view t : {"", "   ", "\t\n", "\u00a0\u3000\u2029"}) EXPECT_TRUE(general(t).empty()) << t;
}

TEST(SdrEncoder, TrimAndCaseRules) {
  struct Case {
    std::string_view a, b;
    SdrCase mode;
    bool equal;
  };
  const Case cases[] = {
      {"Hello", "  HELLO  ", SdrCase::Fold, true},
      {"Hello", "hello", SdrCase::Fold, true},
      {"Hello", "hello", SdrCase::Preserve, false},
      {"Straße", "STRASSE", SdrCase::Fold, false},
      {"ÉTÉ", "été", SdrCase::Fold, true},
      {"ΟΔΟΣ", "οδος", SdrCase::Fold, true},  // a word-final capital sigma folds to ς
      {"ΟΔΟΣ", "οδοσ", SdrCase::Fold, false},
      {"\u00a0note\u3000", "note", SdrCase::Fold, true},  // non-ASCII trim, then the byte path
      {"abcd", "abc1", SdrCase::Fold, false},
  };
  for (const Case& c : cases) EXPECT_EQ(general(c.a, c.mode) == general(c.b, c.mode), c.equal) << c.a << " / " << c.b;
}

TEST(SdrEncoder, RangesAndOrder) {
  const std::string text = "The quick brown fox jumps over the lazy dog 42 times";
  Sdr c = core(text), g = general(text);
  EXPECT_TRUE(std::all_of(c.begin(), c.end(), [](uint16_t p) { return p < 4096; }));
  EXPECT_TRUE(std::any_of(g.begin(), g.end(), [](uint16_t p) { return p < 4096; }));
  EXPECT_TRUE(std::any_of(g.begin(), g.end(), [](uint16_t p) { return p >= 32768; }));
  EXPECT_TRUE(std::adjacent_find(g.begin(), g.end(), std::greater_equal<>()) == g.end());
  EXPECT_LE(g.size(), 20u * (text.size() - 3) + 2 * (text.size() - 2) + (text.size() - 1));
}

TEST(SdrEncoder, Overlap) {
  EXPECT_EQ(sdr_overlap(Sdr{1, 5, 9, 40000}, Sdr{5, 9, 30000, 40000}), 3u);
  EXPECT_EQ(sdr_overlap(Sdr{}, Sdr{1}), 0u);
}

// The encoding spelled out plainly (positions collected, sorted and
// deduplicated; every position computed with its own division) must give
// what the encoder gives, over random texts with digits and multi-byte
// characters, in both ranges.
Sdr plain_encoding(std::string_view text, uint64_t start, uint64_t width) {
  std::vector<size_t> off;
  for (size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xc0) != 0x80) off.push_back(i);
  const size_t n = off.size();
  off.push_back(text.size());
  auto window = [&](size_t i, size_t k) { return text.substr(off[i], off[i + k] - off[i]); };
  auto hash = [](std::string_view w) { return XXH3_64bits(w.data(), w.size()); };
  auto digit = [](std::string_view w) { return w.find_first_of("0123456789") != std::string_view::npos; };
  auto at = [&](uint64_t v) { return static_cast<uint16_t>(start + v % width); };
  std::vector<uint16_t> ps;
  for (size_t i = 0; i + 4 <= n; ++i) {
    uint64_t h = hash(window(i, 4));
    if (digit(window(i, 4))) h = std::rotl(h ^ 0x1234567812345678ULL, 61);
    for (uint64_t k = 0; k < 20; ++k) ps.push_back(at(h + k * 9999));
  }
  for (size_t i = 0; i + 3 <= n; ++i) {
    uint64_t h = hash(window(i, 3));
    if (digit(window(i, 3))) h = std::rotl(h ^ 0x5f3759df5f3759dfULL, 7);
    ps.push_back(at(h));
    ps.push_back(at(h + 1337));
  }
  if (n < 3) {
    const uint64_t h = hash(text);
    ps.push_back(at(h));
    ps.push_back(at(h + 1337));
  }
  for (size_t i = 0; i + 2 <= n; ++i) ps.push_back(at(hash(window(i, 2))));
  std::sort(ps.begin(), ps.end());
  ps.erase(std::unique(ps.begin(), ps.end()), ps.end());
  return ps;
}

TEST(SdrEncoder, MatchesThePlainEncoding) {
  const std::vector<std::string> pieces = {"a", "b", "z", "Q", "7", "0", " ", "-", "é", "ß", "Ω", "中", "😀"};
  std::mt19937 rng(5);
  for (int t = 0; t < 400; ++t) {
    std::string text = "x";
    for (int k = 0, m = static_cast<int>(rng() % 60); k < m; ++k) text += pieces[rng() % pieces.size()];
    text += "y";
    EXPECT_EQ(encode_sdr(SdrEncoder{}, text, SdrRange::General, SdrCase::Preserve),
              plain_encoding(text, SdrEncoder::kGeneralStart, SdrEncoder::kGeneralEnd - SdrEncoder::kGeneralStart))
        << text;
    EXPECT_EQ(encode_sdr(SdrEncoder{}, text, SdrRange::Core, SdrCase::Preserve),
              plain_encoding(text, SdrEncoder::kCoreStart, SdrEncoder::kCoreEnd - SdrEncoder::kCoreStart))
        << text;
  }
}

}  // namespace
}  // namespace vesk
