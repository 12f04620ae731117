#include "index/posting_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace vesk {
namespace {

// Live blocks never overlap and keep their bytes through the churn of
// allocations, releases and moves of every size, pooled or not; blocks are
// aligned as promised, and a released pooled block is handed out again.
TEST(PostingMemory, BlocksKeepTheirBytesThroughChurn) {
  struct Live {
    uint8_t* p;
    size_t bytes;
    uint8_t fill;
  };
  PostingMemory mem;
  std::vector<Live> live;
  std::mt19937 rng(9);
  auto check = [](const Live& b) {
    for (size_t i = 0; i < b.bytes; ++i)
      if (b.p[i] != b.fill) return false;
    return true;
  };
  for (int step = 0; step < 20000; ++step) {
    const uint32_t op = rng() % 10;
    if (op < 5 || live.empty()) {
      // Mostly the pooled sizes, some others.
      const size_t bytes = rng() % 4 ? size_t{32} << rng() % 9 : 1 + rng() % 20000;
      Live b{static_cast<uint8_t*>(mem.allocate(bytes)), bytes, static_cast<uint8_t>(rng())};
      const size_t align = PostingMemory::pooled(bytes) ? std::min<size_t>(bytes, 64) : 16;
      ASSERT_EQ(reinterpret_cast<uintptr_t>(b.p) % align, 0u) << bytes;
      std::memset(b.p, b.fill, bytes);
      live.push_back(b);
    } else if (op < 8) {
      const size_t i = rng() % live.size();
      ASSERT_TRUE(check(live[i])) << step;
      void* p = live[i].p;
      const size_t bytes = live[i].bytes;
      mem.release(p, bytes);
      live.erase(live.begin() + static_cast<std::ptrdiff_t>(i));
      if (PostingMemory::pooled(bytes)) {
        EXPECT_EQ(mem.allocate(bytes), p);  // the free list gives it back
        mem.release(p, bytes);
      }
    } else {
      Live& b = live[rng() % live.size()];
      const size_t bytes = rng() % 2 ? size_t{32} << rng() % 9 : 1 + rng() % 12000;
      b.p = static_cast<uint8_t*>(mem.reallocate(b.p, b.bytes, bytes));
      if (bytes > b.bytes) std::memset(b.p + b.bytes, b.fill, bytes - b.bytes);
      b.bytes = bytes;
      ASSERT_TRUE(check(b)) << step;
    }
  }
  for (const Live& b : live) {
    EXPECT_TRUE(check(b));
    mem.release(b.p, b.bytes);
  }
}

}  // namespace
}  // namespace vesk
