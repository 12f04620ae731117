// PostingMemory: where one SDR index's posting lists keep the chunks that
// grow.
//
// Appends reach a chunk a few numbers at a time, so a chunk that grows moves
// to a larger block now and then. Those blocks come in size classes, every
// 16 bytes up to 256 and four to each doubling above (320, 384, 448, 512,
// 640, ...) up to 32 KB, so a block is at most a quarter larger than asked.
// The lists of an index change only under that index's write lock, so the
// memory has no lock of its own. That is the point: with the C library's
// allocator a block keeps the arena it came from for good, so a posting
// thread that grows chunks once allocated by a storing thread (or by the
// thread that opened the store) takes that thread's arena lock on every
// move, and the two wait on each other. A chunk that stops growing (a later
// key starts), or is read from the index file, takes an exact block from
// the C library instead: allocate_exact, which any thread may call, and
// which costs no more than its size.
//
// Blocks of up to 256 bytes are carved from 4 MB slabs and kept on a free
// list per class when released, for the next chunk that grows; the slabs go
// back when the memory is destroyed. Larger blocks come from runs of one
// class (64 KB, or 256 KB for blocks above 4 KB), which go back to the C
// library as soon as none of their blocks is in use: when a later key
// starts, every list's last chunk moves to an exact block at about the same
// time, and the runs they grew in would otherwise sit idle until the new
// last chunks have grown as large.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vesk {

class PostingMemory {
 public:
  static constexpr size_t kMaxPooled = 32768;

  PostingMemory() = default;
  ~PostingMemory();
  PostingMemory(const PostingMemory&) = delete;
  PostingMemory& operator=(const PostingMemory&) = delete;

  // The size of the pooled block that holds `bytes` (1 to kMaxPooled).
  static size_t block_size(size_t bytes);

  // A pooled block of block_size(bytes) bytes, 16-byte aligned. Throws
  // std::bad_alloc.
  void* allocate(size_t bytes);
  // Gives back a pooled block allocated with the same class of `bytes`.
  void release(void* p, size_t bytes);

  // A block of exactly `bytes` bytes (at least 1) from the C library,
  // 16-byte aligned; thread-safe. Throws std::bad_alloc.
  static void* allocate_exact(size_t bytes);
  static void release_exact(void* p);

 private:
  static constexpr int kClasses = 44;
  static constexpr int kSlabClasses = 16;  // 16..256 bytes
  static constexpr size_t kSlabBytes = size_t{4} << 20;
  static int class_of(size_t bytes);
  static size_t class_size(int c);
  static size_t run_bytes(int c);
  void* carve(size_t size);

  struct FreeBlock {
    FreeBlock* next;
  };
  // A run's header, in its first 64 bytes; its blocks follow. Runs are
  // aligned to their size, so a block finds its run by masking.
  struct Run {
    int cls;
    uint32_t used;       // blocks handed out and not released
    FreeBlock* free;     // released blocks
    char* bump;          // blocks never handed out: [bump, end)
    char* end;
    Run* prev;           // in the class's list of runs with a block to give
    Run* next;
    Run* prev_all;       // in the list of all runs
    Run* next_all;
  };
  static constexpr size_t kRunHeader = 64;
  void* take_from_run(int c);
  void give_to_run(void* p, int c);
  void link(Run* r);
  void unlink(Run* r);

  FreeBlock* free_[kSlabClasses] = {};
  std::vector<void*> slabs_;
  char* bump_ = nullptr;
  char* bump_end_ = nullptr;
  Run* open_[kClasses] = {};  // runs with a block to give, by class
  Run* all_ = nullptr;
};

}  // namespace vesk
