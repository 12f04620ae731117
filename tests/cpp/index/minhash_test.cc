#include "index/minhash.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vesk {
namespace {

TEST(Shingles, WorkedValuesAndNormalisation) {
  EXPECT_EQ(shingle_text("ab"), (std::vector<uint64_t>{617968476}));
  EXPECT_EQ(shingle_text("abc"), (std::vector<uint64_t>{154089808}));
  EXPECT_EQ(shingle_text("abcd").size(), 2u);
  EXPECT_TRUE(shingle_text(" ,.;!? ").empty());
  EXPECT_TRUE(shingle_text("").empty());
  const auto hw = shingle_text("hello world");
  for (std::string_view t : {"Hello, World!", "  HELLO   world ", "hello\u3000world"}) EXPECT_EQ(shingle_text(t), hw) << t;
  EXPECT_EQ(shingle_text("rock-n-roll"), shingle_text("rock n roll"));
  EXPECT_EQ(shingle_text("CAFÉ"), shingle_text("café"));
  EXPECT_EQ(shingle_text("café").size(), 3u);  // 5 bytes; windows cut through 'é'
  EXPECT_EQ(shingle_text("foo_bar"), shingle_text("foo bar"));
}

// The store signs the shingles in text order, repeats included: the same
// shingles as the set, and the same signature.
TEST(MinHash, TextOrderShinglesSignLikeTheSet) {
  std::vector<uint64_t> all;
  for (std::string_view t : {"", "ab", "banana bandana banana", "Ünïcödé ünïcödé words, 12 12 12", "aaaaaaaa"}) {
    shingle_hashes(t, all);
    const std::vector<uint64_t> set = shingle_text(t);
    std::vector<uint64_t> sorted = all;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    EXPECT_EQ(sorted, set) << t;
    if (set.empty()) continue;
    CompactSignature from_all, from_set;
    compact_signature(all, from_all);
    compact_signature(set, from_set);
    EXPECT_EQ(from_all, from_set) << t;
  }
}

TEST(MinHash, CoefficientsInRange) {
  const MinHashCoefficients& c = minhash_coefficients();
  for (int i = 0; i < kMinHashPermutations; ++i) {
    EXPECT_GE(c.a[i], 1u);
    EXPECT_LE(c.a[i], kMinHashPrime - 1);
    EXPECT_LE(c.b[i], kMinHashPrime - 1);
  }
  EXPECT_NE(c.a[0], c.a[1]);
}

// The index's reduction by shifts must equal plain modular arithmetic.
TEST(MinHash, FastSignatureEqualsReference) {
  const MinHashCoefficients copy = minhash_coefficients();  // another address: the reference path
  for (std::string_view t : {"a", "hello world", "The quick brown fox jumps over the lazy dog, 1234567890 times!"}) {
    auto sh = shingle_text(t);
    EXPECT_EQ(minhash_signature(minhash_coefficients(), sh), minhash_signature(copy, sh)) << t;
    CompactSignature fast, portable, vector;
    compact_signature(sh, fast);
    ASSERT_TRUE(compact_signature_by(SignatureCode::Portable, sh, portable));
    EXPECT_EQ(fast, portable) << t;
    for (SignatureCode code : {SignatureCode::Avx2, SignatureCode::Avx512})
      if (compact_signature_by(code, sh, vector)) EXPECT_EQ(vector, portable) << t << static_cast<int>(code);
  }
  std::vector<uint64_t> extremes = {0, 1, kShingleMask - 1, kShingleMask};
  EXPECT_EQ(minhash_signature(minhash_coefficients(), extremes), minhash_signature(copy, extremes));
  MinHashSignature empty = minhash_signature(minhash_coefficients(), {});
  EXPECT_EQ(empty[0], ~uint64_t{0});
}

}  // namespace
}  // namespace vesk
