#include "index/overlap_counts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace vesk {
namespace {

struct Lists {
  PostingMemory mem;
  std::vector<PostingList> lists;
  std::vector<std::vector<uint32_t>> sets;  // ascending
  explicit Lists(size_t n) : lists(n), sets(n) {
    for (PostingList& l : lists) std::memset(static_cast<void*>(&l), 0, sizeof l);
  }
  ~Lists() {
    for (PostingList& l : lists) l.release(mem);
  }
};

// The counts the plain way: a counter per document, then the counted
// documents sorted by count descending, then document ascending.
std::vector<std::pair<uint32_t, uint32_t>> reference(const Lists& ls, uint32_t max_doc) {
  std::vector<uint32_t> counts(size_t{max_doc} + 1);
  for (const auto& set : ls.sets)
    for (uint32_t d : set)
      if (d <= max_doc) ++counts[d];
  std::vector<std::pair<uint32_t, uint32_t>> v;
  for (uint32_t d = 0; d <= max_doc; ++d)
    if (counts[d]) v.emplace_back(d, counts[d]);
  std::stable_sort(v.begin(), v.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  return v;
}

// Lists of every shape the index holds (bitset chunks, long and short array
// chunks, numbers still in the append buffer, several keys), counted up to a
// document in the middle of a key, in one call and in two.
TEST(OverlapCounts, MatchPlainCounting) {
  std::mt19937 rng(17);
  OverlapCounts vectorised, portable(false);
  for (int round = 0; round < 10; ++round) {
    OverlapCounts& counts = round % 2 ? portable : vectorised;
    const size_t n = round < 2 ? 520 : 1 + rng() % 130;  // 520: counts need ten bit planes
    Lists ls(n);
    const uint32_t docs = round < 2 ? 3000 : 1000 + rng() % 200000;
    for (size_t i = 0; i < n; ++i) {
      // Density from one in two to one in five thousand.
      const uint32_t gap = round < 2 ? std::vector<uint32_t>{2, 40}[rng() % 2]
                                     : std::vector<uint32_t>{2, 5, 40, 600, 5000}[rng() % 5];
      for (uint32_t d = round < 2 ? 0 : rng() % gap; d < docs; d += 1 + rng() % gap) {
        ls.lists[i].append(d, ls.mem);
        ls.sets[i].push_back(d);
      }
    }
    const uint32_t max_doc = round % 3 ? docs : static_cast<uint32_t>(rng() % docs);
    const size_t split = rng() % (n + 1);
    std::vector<const PostingList*> ptrs;
    for (const PostingList& l : ls.lists) ptrs.push_back(&l);
    counts.reset(max_doc);
    counts.add(std::span(ptrs).first(split));
    counts.add(std::span(ptrs).subspan(split));
    EXPECT_EQ(counts.lists(), n);

    const auto want = reference(ls, max_doc);
    ASSERT_EQ(counts.counted(), want.size()) << round;
    for (int k = 0; k < 200 && !want.empty(); ++k) {
      const auto& [d, c] = want[rng() % want.size()];
      EXPECT_EQ(counts.count(d), c) << d;
    }
    if (max_doc + 1 < docs) EXPECT_EQ(counts.count(max_doc + 1), 0u);
    for (size_t take : {size_t{1}, size_t{7}, size_t{500}, want.size()}) {
      take = std::min(take, want.size());
      std::vector<std::pair<uint32_t, uint32_t>> got;
      counts.best(take, got);
      const std::vector<std::pair<uint32_t, uint32_t>> first(want.begin(), want.begin() + static_cast<ptrdiff_t>(take));
      EXPECT_EQ(got, first) << "round " << round << " take " << take;
    }
  }
}

TEST(OverlapCounts, NothingCounted) {
  OverlapCounts counts;
  counts.reset(100);
  EXPECT_EQ(counts.counted(), 0u);
  Lists ls(2);
  ls.lists[0].append(500, ls.mem);  // above max_doc
  std::vector<const PostingList*> ptrs{&ls.lists[0], &ls.lists[1]};
  counts.add(ptrs);
  EXPECT_EQ(counts.counted(), 0u);
  std::vector<std::pair<uint32_t, uint32_t>> got;
  counts.best(0, got);
  EXPECT_TRUE(got.empty());
}

}  // namespace
}  // namespace vesk
