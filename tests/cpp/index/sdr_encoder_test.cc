#include "index/sdr_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>

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

}  // namespace
}  // namespace vesk
