#include "index/posting_memory.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace vesk {

PostingMemory::~PostingMemory() {
  for (void* s : slabs_) std::free(s);
}

int PostingMemory::class_of(size_t bytes) { return std::countr_zero(bytes) - std::countr_zero(kMinBlock); }

void* PostingMemory::carve(size_t size) {
  const size_t align = std::min<size_t>(size, 64);
  auto at = reinterpret_cast<uintptr_t>(bump_);
  at = (at + align - 1) & ~(uintptr_t{align} - 1);
  if (!bump_ || at + size > reinterpret_cast<uintptr_t>(bump_end_)) {
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
    at = reinterpret_cast<uintptr_t>(bump_);
  }
  bump_ = reinterpret_cast<char*>(at + size);
  return reinterpret_cast<void*>(at);
}

void* PostingMemory::allocate(size_t bytes) {
  if (!pooled(bytes)) {
    void* p = std::malloc(std::max<size_t>(bytes, 1));
    if (!p) throw std::bad_alloc();
    return p;
  }
  const int c = class_of(bytes);
  if (FreeBlock* b = free_[c]) {
    free_[c] = b->next;
    return b;
  }
  return carve(bytes);
}

void PostingMemory::release(void* p, size_t bytes) {
  if (!p) return;
  if (!pooled(bytes)) {
    std::free(p);
    return;
  }
  const int c = class_of(bytes);
  auto* b = static_cast<FreeBlock*>(p);
  b->next = free_[c];
  free_[c] = b;
}

void* PostingMemory::reallocate(void* p, size_t old_bytes, size_t new_bytes) {
  if (p && old_bytes == new_bytes) return p;
  void* q = allocate(new_bytes);
  if (p) {
    std::memcpy(q, p, std::min(old_bytes, new_bytes));
    release(p, old_bytes);
  }
  return q;
}

}  // namespace vesk
