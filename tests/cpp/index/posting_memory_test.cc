#include "index/posting_memory.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace vesk {
namespace {

// A pooled block is the smallest class that holds the size asked for, at
// most a quarter larger above 256 bytes.
TEST(PostingMemory, BlockSizesAreTheNextClass) {
  const std::vector<std::pair<size_t, size_t>> cases = {
      {1, 16},     {16, 16},    {17, 32},    {250, 256},  {256, 256},   {257, 320},   {320, 320},
      {321, 384},  {449, 512},  {512, 512},  {513, 640},  {1000, 1024}, {1025, 1280}, {5000, 5120},
      {20481, 24576}, {32767, 32768}, {32768, 32768}};
  for (const auto& [bytes, size] : cases) EXPECT_EQ(PostingMemory::block_size(bytes), size) << bytes;
  for (size_t bytes = 1; bytes <= PostingMemory::kMaxPooled; ++bytes) {
    const size_t size = PostingMemory::block_size(bytes);
    ASSERT_GE(size, bytes);
    ASSERT_EQ(size % 16, 0u);
    ASSERT_EQ(PostingMemory::block_size(size), size) << bytes;
    if (bytes > 256) ASSERT_LE(size, bytes + bytes / 4) << bytes;
  }
}

// Live blocks never overlap and keep their bytes through the churn of
// allocations and releases of every size, pooled or exact; blocks are
// 16-byte aligned, and a released small block is handed out again.
TEST(PostingMemory, BlocksKeepTheirBytesThroughChurn) {
  struct Live {
    uint8_t* p;
    size_t bytes;
    bool pooled;
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
    if (rng() % 2 || live.empty()) {
      const bool pooled = rng() % 4 != 0;
      const size_t asked = 1 + rng() % (rng() % 2 ? 512 : PostingMemory::kMaxPooled);
      const size_t bytes = pooled ? PostingMemory::block_size(asked) : asked;
      auto* p = static_cast<uint8_t*>(pooled ? mem.allocate(asked) : PostingMemory::allocate_exact(bytes));
      Live b{p, bytes, pooled, static_cast<uint8_t>(rng())};
      ASSERT_EQ(reinterpret_cast<uintptr_t>(b.p) % 16, 0u) << bytes;
      std::memset(b.p, b.fill, bytes);
      live.push_back(b);
    } else {
      const size_t i = rng() % live.size();
      const Live b = live[i];
      ASSERT_TRUE(check(b)) << step;
      live.erase(live.begin() + static_cast<std::ptrdiff_t>(i));
      if (!b.pooled) {
        PostingMemory::release_exact(b.p);
        continue;
      }
      mem.release(b.p, b.bytes);
      if (b.bytes > 256) continue;
      EXPECT_EQ(mem.allocate(b.bytes), b.p);  // the free list gives it back
      mem.release(b.p, b.bytes);
    }
  }
  for (const Live& b : live) {
    EXPECT_TRUE(check(b));
    if (b.pooled) {
      mem.release(b.p, b.bytes);
    } else {
      PostingMemory::release_exact(b.p);
    }
  }
}

// Blocks above 256 bytes go back to the C library once their run is empty:
// after many of them are released the heap is as small as before.
TEST(PostingMemory, EmptyRunsGoBack) {
  auto in_use = [] { return mallinfo2().uordblks + mallinfo2().hblkhd; };
  PostingMemory mem;
  std::vector<std::pair<void*, size_t>> blocks;
  blocks.reserve(3000);
  for (int round = 0; round < 2; ++round) {
    const size_t before = in_use();
    for (size_t i = 0; i < 3000; ++i) {
      const size_t bytes = PostingMemory::block_size(300 + (i * 7919) % 30000);
      blocks.emplace_back(mem.allocate(bytes), bytes);
    }
    EXPECT_GT(in_use(), before + 3000 * 300);
    std::shuffle(blocks.begin(), blocks.end(), std::mt19937(round));
    for (const auto& [p, bytes] : blocks) mem.release(p, bytes);
    blocks.clear();
    EXPECT_LT(in_use(), before + 4096) << round;
  }
}

}  // namespace
}  // namespace vesk
