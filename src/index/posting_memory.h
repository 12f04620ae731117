// PostingMemory: where one SDR index's posting lists keep their chunks.
//
// The blocks lists grow through, powers of two from 32 bytes to 8 KB, are
// carved from 4 MB slabs and kept on a free list per size when released,
// for the next list that grows. The lists of an index change only under
// that index's write lock, so the memory has no lock of its own. That is the
// point: with the C library's allocator a block keeps the arena it came from
// for good, so a posting thread that grows lists once allocated by a storing
// thread (or by the thread that opened the store) takes that thread's arena
// lock on every move, and the two wait on each other. Blocks of any other
// size (a chunk trimmed to its count once it stops growing, a chunk read
// from the index file, the chunk table of a list past 512 keys) are taken
// once and rarely moved: they come from the C library, so that they cost no
// more than their size.
//
// Released blocks are reused, not returned; the slabs go back when the
// memory is destroyed.
#pragma once

#include <cstddef>
#include <vector>

namespace vesk {

class PostingMemory {
 public:
  static constexpr size_t kMinBlock = 32;
  static constexpr size_t kMaxBlock = 8192;

  PostingMemory() = default;
  ~PostingMemory();
  PostingMemory(const PostingMemory&) = delete;
  PostingMemory& operator=(const PostingMemory&) = delete;

  // A block of `bytes` bytes, aligned to 64 bytes or to its size if smaller
  // when pooled, to 16 otherwise. Throws std::bad_alloc.
  void* allocate(size_t bytes);
  // Gives back a block allocated with the same `bytes`.
  void release(void* p, size_t bytes);
  // A block of `new_bytes` holding the first min(old_bytes, new_bytes) bytes
  // of `p`, which is released (or kept, when the sizes are equal).
  void* reallocate(void* p, size_t old_bytes, size_t new_bytes);

  // Whether a block of `bytes` comes from the slabs.
  static bool pooled(size_t bytes) {
    return bytes >= kMinBlock && bytes <= kMaxBlock && (bytes & (bytes - 1)) == 0;
  }

 private:
  static constexpr int kClasses = 9;  // 32 B .. 8 KB
  static constexpr size_t kSlabBytes = size_t{4} << 20;
  static int class_of(size_t bytes);
  void* carve(size_t size);

  struct FreeBlock {
    FreeBlock* next;
  };
  FreeBlock* free_[kClasses] = {};
  std::vector<void*> slabs_;
  char* bump_ = nullptr;
  char* bump_end_ = nullptr;
};

}  // namespace vesk
