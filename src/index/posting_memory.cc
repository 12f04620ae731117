#include "index/posting_memory.h"

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace vesk {

PostingMemory::~PostingMemory() {
  for (void* s : slabs_) std::free(s);
  while (all_) {
    Run* next = all_->next_all;
    std::free(all_);
    all_ = next;
  }
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

size_t PostingMemory::run_bytes(int c) { return class_size(c) <= 4096 ? size_t{64} << 10 : size_t{256} << 10; }

void PostingMemory::link(Run* r) {
  static_assert(sizeof(Run) <= kRunHeader);
  r->prev = nullptr;
  r->next = open_[r->cls];
  if (r->next) r->next->prev = r;
  open_[r->cls] = r;
}

void PostingMemory::unlink(Run* r) {
  if (r->prev) {
    r->prev->next = r->next;
  } else {
    open_[r->cls] = r->next;
  }
  if (r->next) r->next->prev = r->prev;
}

void* PostingMemory::take_from_run(int c) {
  Run* r = open_[c];
  if (!r) {
    const size_t bytes = run_bytes(c);
    r = static_cast<Run*>(std::aligned_alloc(bytes, bytes));
    if (!r) throw std::bad_alloc();
    r->cls = c;
    r->used = 0;
    r->free = nullptr;
    r->bump = reinterpret_cast<char*>(r) + kRunHeader;
    r->end = r->bump + (bytes - kRunHeader) / class_size(c) * class_size(c);
    r->prev_all = nullptr;
    r->next_all = all_;
    if (all_) all_->prev_all = r;
    all_ = r;
    link(r);
  }
  void* p;
  if (r->free) {
    p = r->free;
    r->free = r->free->next;
  } else {
    p = r->bump;
    r->bump += class_size(c);
  }
  ++r->used;
  if (!r->free && r->bump == r->end) unlink(r);  // full
  return p;
}

void PostingMemory::give_to_run(void* p, int c) {
  Run* r = reinterpret_cast<Run*>(reinterpret_cast<uintptr_t>(p) & ~(uintptr_t{run_bytes(c)} - 1));
  const bool was_full = !r->free && r->bump == r->end;
  auto* b = static_cast<FreeBlock*>(p);
  b->next = r->free;
  r->free = b;
  if (was_full) link(r);
  if (--r->used) return;
  unlink(r);
  if (r->prev_all) {
    r->prev_all->next_all = r->next_all;
  } else {
    all_ = r->next_all;
  }
  if (r->next_all) r->next_all->prev_all = r->prev_all;
  std::free(r);
}

void* PostingMemory::allocate(size_t bytes) {
  const int c = class_of(bytes);
  if (c >= kSlabClasses) return take_from_run(c);
  if (FreeBlock* b = free_[c]) {
    free_[c] = b->next;
    return b;
  }
  return carve(class_size(c));
}

void PostingMemory::release(void* p, size_t bytes) {
  if (!p) return;
  const int c = class_of(bytes);
  if (c >= kSlabClasses) {
    give_to_run(p, c);
    return;
  }
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
