#include "index/posting_memory.h"

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace vesk {

PostingMemory::~PostingMemory() {
  for (void* s : slabs_) std::free(s);
}

// Classes 0..15 are 16..256 bytes; above, class 16 + 4 * (e - 8) + s - 1 is
// 2^e + s * 2^(e - 2) bytes (s = 1..4).
int PostingMemory::class_of(size_t bytes) {
  if (bytes <= 256) return static_cast<int>((bytes + 15) / 16) - 1;
  const int e = static_cast<int>(std::bit_width(bytes - 1)) - 1;
  const size_t step = size_t{1} << (e - 2);
  const int s = static_cast<int>((bytes - (size_t{1} << e) + step - 1) / step);
  return 16 + 4 * (e - 8) + s - 1;
}

size_t PostingMemory::class_size(int c) {
  if (c < 16) return 16 * static_cast<size_t>(c + 1);
  const int e = 8 + (c - 16) / 4, s = (c - 16) % 4 + 1;
  return (size_t{1} << e) + static_cast<size_t>(s) * (size_t{1} << (e - 2));
}

size_t PostingMemory::block_size(size_t bytes) { return class_size(class_of(bytes)); }

void* PostingMemory::carve(size_t size) {
  if (!bump_ || size > static_cast<size_t>(bump_end_ - bump_)) {
    void* slab = std::aligned_alloc(64, kSlabBytes);
    if (!slab) throw std::bad_alloc();
    try {
      slabs_.push_back(slab);
    } catch (...) {
      std::free(slab);
      throw;
    }
    bump_ = static_cast<char*>(slab);
    bump_end_ = bump_ + kSlabBytes;
  }
  void* p = bump_;
  bump_ += size;
  return p;
}

void* PostingMemory::allocate(size_t bytes) {
  const int c = class_of(bytes);
  if (FreeBlock* b = free_[c]) {
    free_[c] = b->next;
    return b;
  }
  return carve(class_size(c));
}

void PostingMemory::release(void* p, size_t bytes) {
  if (!p) return;
  const int c = class_of(bytes);
  auto* b = static_cast<FreeBlock*>(p);
  b->next = free_[c];
  free_[c] = b;
}

void* PostingMemory::allocate_exact(size_t bytes) {
  void* p = std::malloc(bytes ? bytes : 1);
  if (!p) throw std::bad_alloc();
  return p;
}

void PostingMemory::release_exact(void* p) { std::free(p); }

}  // namespace vesk
