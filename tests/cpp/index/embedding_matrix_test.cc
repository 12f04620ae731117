#include "index/embedding_matrix.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace vesk {
namespace {

// set_all() leaves the matrix one set() per row leaves: the same rows in the
// same order, elements and norms, across partly filled blocks, an id given
// twice in one call (the later vector wins) and ids already present.
TEST(EmbeddingMatrix, SetAllMatchesOneSetPerRow) {
  std::mt19937 rng(8);
  std::normal_distribution<float> normal;
  auto vec = [&] {
    std::vector<float> v(13);
    for (float& x : v) x = normal(rng);
    return v;
  };
  const std::vector<std::vector<std::string>> calls = {
      {"a0", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "a10"},
      {"b0", "a3", "b1", "b2", "b1", "b3", "b4", "b5", "b6", "b7", "b8", "b9", "b10", "b11", "b12", "b13", "b14", "b15",
       "b16", "b17", "b18", "b19", "b20", "a10"},
      {"c0"},
  };
  EmbeddingMatrix one_by_one, together;
  for (const auto& ids : calls) {
    std::vector<std::vector<float>> vectors;
    std::vector<std::pair<std::string_view, std::span<const float>>> rows;
    for (const std::string& id : ids) vectors.push_back(vec());
    for (size_t i = 0; i < ids.size(); ++i) {
      one_by_one.set(ids[i], vectors[i]);
      rows.emplace_back(ids[i], vectors[i]);
    }
    together.set_all(rows);
  }
  ASSERT_EQ(together.rows(), one_by_one.rows());
  ASSERT_EQ(together.dim(), one_by_one.dim());
  for (size_t r = 0; r < together.rows(); ++r) {
    EXPECT_EQ(together.id(r), one_by_one.id(r)) << r;
    EXPECT_EQ(together.row(r), one_by_one.row(r)) << r;
  }
  const std::vector<float> q = vec();
  std::vector<std::pair<float, uint32_t>> a, b;
  together.positive_cosines(q, a);
  one_by_one.positive_cosines(q, b);
  EXPECT_EQ(a, b);
}

}  // namespace
}  // namespace vesk
