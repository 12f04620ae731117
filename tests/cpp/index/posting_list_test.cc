#include "index/posting_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "index/roaring_portable.h"

namespace vesk {
namespace {

// A zeroed list with its own memory, freed at the end.
struct List {
  PostingMemory mem;
  PostingList l;
  List() { std::memset(static_cast<void*>(&l), 0, sizeof l); }
  ~List() { l.release(mem); }
  PostingList* operator->() { return &l; }
  void append(uint32_t d) { l.append(d, mem); }
  void add(uint32_t d) { l.add(d, mem); }
  bool remove(uint32_t d) { return l.remove(d, mem); }
  Status decode_portable(std::string_view bytes) { return l.decode_portable(bytes, mem); }
};

std::vector<uint32_t> members(const PostingList& l) {
  std::vector<uint32_t> v;
  l.for_each([&](uint32_t d) { v.push_back(d); });
  return v;
}

// What CRoaring itself writes for the same set.
std::string roaring_bytes(const std::set<uint32_t>& s) {
  roaring_bitmap_t* bm = roaring_bitmap_create();
  for (uint32_t d : s) roaring_bitmap_add(bm, d);
  std::string out;
  encode_roaring_portable(bm, out);
  roaring_bitmap_free(bm);
  return out;
}

void expect_matches(const PostingList& l, const std::set<uint32_t>& model, const std::string& where) {
  EXPECT_EQ(members(l), std::vector<uint32_t>(model.begin(), model.end())) << where;
  EXPECT_EQ(l.cardinality(), model.size()) << where;
  if (!model.empty()) EXPECT_EQ(l.maximum(), *model.rbegin()) << where;
  std::string bytes;
  l.encode_portable(bytes);
  EXPECT_EQ(bytes, roaring_bytes(model)) << where;
}

// Appends (the store road), arbitrary adds (re-inserts), removals, across
// array chunks that turn into bitsets, keys past 65,535, chunks emptied,
// and the append buffer at every fill level.
TEST(PostingList, MatchesAPlainSetAndCRoaringBytes) {
  std::mt19937 rng(5);
  for (int round = 0; round < 6; ++round) {
    List l;
    std::set<uint32_t> model;
    uint32_t next = round * 30000u;
    const int density = 1 + round % 3;  // 1 in 1, 2 or 3 numbers appended
    for (int step = 0; step < 40000; ++step) {
      next += 1 + rng() % density;
      l.append(next);
      model.insert(next);
      if (rng() % 50 == 0 && !model.empty()) {  // remove something old or recent
        auto it = model.lower_bound(static_cast<uint32_t>(rng() % (next + 1)));
        if (it == model.end()) --it;
        EXPECT_TRUE(l.remove(*it));
        model.erase(it);
      }
      if (rng() % 200 == 0) {  // add below the top, maybe already present
        const uint32_t d = static_cast<uint32_t>(rng() % (next + 1));
        l.add(d);
        model.insert(d);
      }
      if (step % 9973 == 0) expect_matches(l.l, model, "round " + std::to_string(round) + " step " + std::to_string(step));
    }
    EXPECT_FALSE(l.remove(next + 1));
    EXPECT_FALSE(l->contains(next + 1));
    for (int k = 0; k < 100; ++k) {
      const uint32_t d = static_cast<uint32_t>(rng() % (next + 1));
      EXPECT_EQ(l->contains(d), model.count(d) == 1) << d;
    }
    expect_matches(l.l, model, "round " + std::to_string(round));
    // A bitset chunk thinned out below the array size is written as an array.
    for (auto it = model.begin(); it != model.end();) {
      if (rng() % 4) {
        EXPECT_TRUE(l.remove(*it));
        it = model.erase(it);
      } else {
        ++it;
      }
    }
    expect_matches(l.l, model, "thinned, round " + std::to_string(round));
    for (uint32_t d : std::vector<uint32_t>(model.begin(), model.end())) EXPECT_TRUE(l.remove(d));
    model.clear();
    expect_matches(l.l, model, "emptied");
    EXPECT_EQ(l->chunk_count(), 0u);
  }
}

// Random operations against a plain set: appends with gaps of every size
// (a key skipped now and then), adds and removals anywhere, one at a time
// and in bursts (which split blocks and empty them), contains, and a
// round trip through the portable bytes after which the decoded list
// carries on.
TEST(PostingList, RandomOperationsMatchAPlainSet) {
  std::mt19937 rng(21);
  for (int round = 0; round < 12; ++round) {
    auto l = std::make_unique<List>();
    std::set<uint32_t> model;
    uint32_t top = round * 5000u;  // above every number so far
    const uint32_t spread = std::vector<uint32_t>{1, 2, 4, 30, 400, 3000}[round % 6];
    auto some = [&](uint32_t below) { return below ? static_cast<uint32_t>(rng() % below) : 0u; };
    for (int step = 0; step < 30000; ++step) {
      const uint32_t op = rng() % 1000;
      if (op < 900) {
        top += 1 + some(spread) + (rng() % 5000 == 0 ? 65536 * (1 + some(3)) : 0);
        l->append(top);
        model.insert(top);
      } else if (op < 940) {
        const uint32_t d = some(top + 10);
        l->add(d);
        model.insert(d);
        top = std::max(top, d);
      } else if (op < 980) {
        const uint32_t d = some(top + 10);
        EXPECT_EQ(l->remove(d), model.erase(d) == 1) << d;
      } else if (op < 985 && !model.empty()) {
        // Remove a run of members: blocks empty and go.
        auto it = model.lower_bound(some(top));
        for (int k = some(300); k > 0 && it != model.end(); --k) {
          EXPECT_TRUE(l->remove(*it));
          it = model.erase(it);
        }
      } else if (op < 990) {
        // Add every number of a short range: blocks overflow and split.
        const uint32_t from = some(top);
        for (uint32_t d = from; d < from + some(400); ++d) {
          l->add(d);
          model.insert(d);
        }
        top = std::max(top, *model.rbegin());
      } else if (op < 998) {
        const uint32_t d = some(top + 10);
        EXPECT_EQ(l->l.contains(d), model.count(d) == 1) << d;
      } else {
        std::string bytes;
        l->l.encode_portable(bytes);
        auto decoded = std::make_unique<List>();
        ASSERT_TRUE(decoded->decode_portable(bytes).ok());
        l = std::move(decoded);
      }
      if (step % 3001 == 0) expect_matches(l->l, model, "round " + std::to_string(round) + " step " + std::to_string(step));
    }
    expect_matches(l->l, model, "round " + std::to_string(round));
  }
}

TEST(PostingList, BufferedNumbersJoinOrFollowTheLastChunk) {
  for (uint32_t start : {0u, 65530u, 70000u}) {
    List l;
    std::set<uint32_t> model;
    for (uint32_t d = start; d < start + 4100; ++d) {
      l.append(d);
      model.insert(d);
      if (d % 37 == 0) expect_matches(l.l, model, std::to_string(d));
    }
    expect_matches(l.l, model, "end");
  }
}

TEST(PostingList, DecodeRoundTripsAndRefusesBadBytes) {
  std::mt19937 rng(9);
  std::set<uint32_t> model;
  for (int i = 0; i < 20000; ++i) model.insert(static_cast<uint32_t>(rng() % 300000));
  for (uint32_t d = 140000; d < 145000; ++d) model.insert(d);  // a dense chunk
  const std::string bytes = roaring_bytes(model);
  List l;
  ASSERT_TRUE(l.decode_portable(bytes).ok());
  expect_matches(l.l, model, "decoded");
  // Appends continue after a decoded list.
  l.append(400000);
  model.insert(400000);
  expect_matches(l.l, model, "appended");
  // Bad bytes leave the list as it was.
  std::string bad = bytes;
  bad[0] = 0;
  EXPECT_FALSE(l.decode_portable(bad).ok());
  EXPECT_FALSE(l.decode_portable(bytes.substr(0, bytes.size() - 1)).ok());
  expect_matches(l.l, model, "after bad bytes");
  // The variant with run containers: one run container (values 3..6 and 10)
  // and one array container under key 1.
  std::string runs;
  auto put16 = [&](uint16_t v) { runs.push_back(char(v & 0xff)), runs.push_back(char(v >> 8)); };
  put16(kRoaringCookieRuns), put16(1);  // cookie, n - 1 = 1
  runs.push_back(1);                    // container 0 is a run container
  put16(0), put16(4), put16(1), put16(1);
  put16(2), put16(3), put16(3), put16(10), put16(0);
  put16(7), put16(9);
  ASSERT_TRUE(l.decode_portable(runs).ok());
  EXPECT_EQ(members(l.l), (std::vector<uint32_t>{3, 4, 5, 6, 10, 65536 + 7, 65536 + 9}));
}

}  // namespace
}  // namespace vesk
