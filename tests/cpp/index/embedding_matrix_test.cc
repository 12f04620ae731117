#include "index/embedding_matrix.h"

#include <gtest/gtest.h>

#include <functional>
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

// retain() leaves what building a matrix from the kept rows alone, in their
// order, leaves: ids, elements, lookups and scores, across block edges, for
// nothing, everything and random rows dropped.
TEST(EmbeddingMatrix, RetainMatchesAMatrixOfTheKeptRows) {
  std::mt19937 rng(9);
  std::normal_distribution<float> normal;
  for (int round = 0; round < 60; ++round) {
    const size_t rows = rng() % 40, dim = 1 + rng() % 11;
    const int mode = round % 4;  // keep all, keep none, keep some, keep most
    std::vector<std::pair<std::string, std::vector<float>>> all;
    EmbeddingMatrix m;
    for (size_t r = 0; r < rows; ++r) {
      std::vector<float> v(dim);
      for (float& x : v) x = normal(rng);
      std::string id(1, 'r');
      all.emplace_back(id += std::to_string(r), v);
      m.set(all.back().first, v);
    }
    std::vector<bool> keep(rows);
    for (size_t r = 0; r < rows; ++r) keep[r] = mode == 0 || (mode == 2 && rng() % 2) || (mode == 3 && rng() % 8);
    EmbeddingMatrix want;
    for (size_t r = 0; r < rows; ++r)
      if (keep[r]) want.set(all[r].first, all[r].second);
    const size_t dropped = m.retain([&](std::string_view id) { return keep[std::stoul(std::string(id.substr(1)))]; });
    ASSERT_EQ(dropped, rows - want.rows());
    ASSERT_EQ(m.rows(), want.rows());
    ASSERT_EQ(m.dim(), want.dim());
    for (size_t r = 0; r < m.rows(); ++r) {
      EXPECT_EQ(m.id(r), want.id(r));
      EXPECT_EQ(m.row(r), want.row(r));
      EXPECT_EQ(m.find(m.id(r)), r);
    }
    for (size_t r = 0; r < rows; ++r) EXPECT_EQ(m.find(all[r].first).has_value(), static_cast<bool>(keep[r]));
    std::vector<float> q(dim);
    for (float& x : q) x = normal(rng);
    std::vector<std::pair<float, uint32_t>> a, b;
    m.positive_cosines(q, a);
    want.positive_cosines(q, b);
    EXPECT_EQ(a, b);
    // The matrix goes on working: a new row lands behind the kept ones.
    std::vector<float> v(m.empty() ? 3 : dim, 1.0f);
    m.set("new", v);
    EXPECT_EQ(m.find("new"), m.rows() - 1);
    EXPECT_EQ(m.row(m.rows() - 1), v);
  }
}

// A scan of the rows a mask selects gives exactly the scores the scan of
// every row gives those rows, and nothing for the others: masks of no block,
// every block, single lanes, and runs of selected blocks longer than one
// chunk of the scan, over a matrix whose last block is partly filled.
TEST(EmbeddingMatrix, MaskedScanScoresExactlyTheSelectedRows) {
  std::mt19937 rng(10);
  std::normal_distribution<float> normal;
  constexpr size_t kRows = 1203, kDim = 7;
  EmbeddingMatrix m;
  for (size_t r = 0; r < kRows; ++r) {
    std::vector<float> v(kDim);
    for (float& x : v) x = normal(rng);
    m.set("r" + std::to_string(r), v);
  }
  ASSERT_EQ(m.blocks(), (kRows + 7) / 8);
  std::vector<float> q(kDim);
  for (float& x : q) x = normal(rng);
  std::vector<std::pair<float, uint32_t>> every;
  m.positive_cosines(q, every);

  struct Case {
    std::string name;
    std::function<bool(size_t row)> selected;
  };
  const Case cases[] = {
      {"nothing", [](size_t) { return false; }},
      {"everything", [](size_t) { return true; }},
      {"the first lane of every other block", [](size_t r) { return r % 16 == 0; }},
      {"the last row alone", [](size_t r) { return r == kRows - 1; }},
      {"a run of 70 blocks", [](size_t r) { return r >= 40 && r < 40 + 70 * 8; }},
      {"random lanes", [](size_t r) { return (r * 2654435761u) % 5 == 0; }},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> lanes(m.blocks(), 0);
    std::vector<std::pair<float, uint32_t>> want;
    for (size_t r = 0; r < kRows; ++r)
      if (c.selected(r)) lanes[r / 8] |= static_cast<uint8_t>(1u << (r % 8));
    for (const auto& hit : every)
      if (c.selected(hit.second)) want.push_back(hit);
    std::vector<std::pair<float, uint32_t>> got;
    m.positive_cosines(q, lanes, got);
    EXPECT_EQ(got, want) << c.name;
  }
}

}  // namespace
}  // namespace vesk
