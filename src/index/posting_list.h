// PostingList: one SDR position's set of document numbers, in memory.
//
// The numbers that share their high 16 bits form a chunk (its key), as in a
// Roaring bitmap. A chunk holds the low halves of its numbers in Rice-coded
// blocks of up to 128 (posting_block.h) and, after them, up to 127 of the
// latest appends as plain 16-bit values (the tail), which become a block once
// there are 128. The chunks are ours rather than a library's so that the two
// hot paths can reach them directly: the store road appends new, always
// largest, document numbers, and the search decodes whole blocks into its
// counters (overlap_counts.h).
//
// A chunk's memory, `cap` bytes, is laid out one of two ways. A chunk that
// changes (the one appends go to, or one an add or a removal rewrote) lives
// in a pooled block, with room to grow at both ends:
//
//   offset              size          field
//   0                   stream        the blocks, one after the other
//   stream rounded up   2 * tail      the tail: u16 values, ascending, above every
//     to even                         number of the blocks
//   ...                               free
//   cap - 4 * nblocks   4 * nblocks   the skip entries, block i's at cap - 4 * (i + 1):
//                                     u16 its first number, u16 its offset in the blocks
//
// A chunk that stopped changing (a later key started) or was read from the
// index file lives in an exact block, read front to back by the search:
//
//   0                   4 * nblocks   the skip entries, block i's at 4 * i
//   4 * nblocks         stream        the blocks
//   ...                 16            room the decoder reads past the last block
//
// Such a chunk has no tail; changing it moves it to a pooled block first.
//
// Blocks are ascending: every number of a block is below the next block's
// first. A block holds 128 numbers when it is written from appends or from
// the index file; adds and removals rewrite the one block they touch, which
// may leave it shorter or split it in two.
//
// Appends go through a small buffer inside the list (the numbers of the last
// few appends, one key at most) and are moved into their chunk in one batch
// when the buffer fills: an index holds 65,536 lists and a record posts into
// ~3,500 of them, so each append otherwise costs a cache miss on its chunk.
// Every reader sees buffer and chunks as one set; the buffered numbers are
// the largest. The last chunk (the one appends go to) is held inside the
// list itself, so that moving the buffer costs one cache miss (the tail's
// end), which the appender can prefetch. The last chunk grows through the
// PostingMemory's pooled blocks; once a later key starts, its tail is coded
// and it moves to an exact block.
//
// The struct is two cache lines (the buffer takes most of them: the fewer
// moves, the fewer misses), trivially copyable, and all zero bytes are the
// empty list, so an index can calloc its 65,536 lists. The caller passes the
// same PostingMemory (posting_memory.h) to every call that may allocate or
// free; release() gives the memory back. There is no destructor.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "index/posting_block.h"
#include "index/posting_memory.h"
#include "index/prefetch.h"
#include "base/status.h"

namespace vesk {

struct PostingList {
  static constexpr uint32_t kArrayMax = 4096;  // values of a portable array container at most
  static constexpr uint32_t kBlock = PostingBlock::kMaxValues;
  static constexpr uint32_t kBuffered = 42;

  struct Chunk {
    uint8_t* data;     // the layout above
    uint32_t card;     // numbers held, blocks and tail, at least 1
    uint32_t cap;      // bytes of data
    uint16_t key;      // the high 16 bits of its numbers
    uint16_t nblocks;
    uint16_t stream;   // bytes of the blocks
    uint8_t tail;      // plain values after the blocks
    uint8_t pooled;    // data is a PostingMemory block (else an exact one)

    // Skip entry i: block i's first number and its offset in the blocks.
    uint16_t first(size_t i) const { return skip_field(i, 0); }
    uint16_t offset(size_t i) const { return skip_field(i, 2); }
    const uint8_t* entry(size_t i) const { return pooled ? data + cap - 4 * (i + 1) : data + 4 * i; }
    const uint8_t* blocks() const { return pooled ? data : data + 4 * size_t{nblocks}; }
    size_t tail_offset() const { return (size_t{stream} + 1) & ~size_t{1}; }  // pooled only
    const uint16_t* tail_values() const { return reinterpret_cast<const uint16_t*>(data + tail_offset()); }

    // Calls f(values, n) for each run of the chunk's numbers, ascending: a
    // few blocks at a time, decoded into `scratch` (room for kRunValues),
    // then the tail. `vector_instructions` as in PostingBlock::decode.
    static constexpr size_t kRunValues = PostingBlock::kRunBlocks * PostingBlock::kMaxValues + 16;
    template <class F>
    void for_each_run(uint16_t* scratch, F&& f, bool vector_instructions = true) const {
      uint16_t firsts[PostingBlock::kRunBlocks];
      const uint8_t* base = blocks();
      const size_t readable = cap - static_cast<size_t>(base - data);
      for (size_t i = 0; i < nblocks; i += PostingBlock::kRunBlocks) {
        const size_t count = std::min(PostingBlock::kRunBlocks, nblocks - i);
        for (size_t j = 0; j < count; ++j) firsts[j] = first(i + j);
        const size_t at = offset(i), end = i + count < nblocks ? offset(i + count) : stream;
        const size_t n =
            PostingBlock::decode(base + at, end - at, readable - at, firsts, count, scratch, vector_instructions);
        f(static_cast<const uint16_t*>(scratch), static_cast<uint32_t>(n));
      }
      if (tail) f(tail_values(), uint32_t{tail});
    }

   private:
    uint16_t skip_field(size_t i, size_t at) const {
      uint16_t v;
      std::memcpy(&v, entry(i) + at, 2);
      return v;
    }
  };

  // Adds d, which must be above every number in the list.
  void append(uint32_t d, PostingMemory& mem) {
    const uint16_t key = static_cast<uint16_t>(d >> 16);
    if (nbuffered_ && key != buffered_key_) flush(mem);
    buffered_key_ = key;
    buffered_[nbuffered_++] = static_cast<uint16_t>(d);
    ++card_;
    if (nbuffered_ == kBuffered) flush(mem);
  }
  // For callers that append to many lists in turn: whether appending `n`
  // more numbers, the first of them `first`, moves the buffer into the last
  // chunk, and a prefetch of the memory that move writes.
  bool appends_flush(uint32_t n) const { return nbuffered_ + n >= kBuffered; }
  void prefetch_append_target(uint32_t first) const {
    if (!last_.pooled || last_.key != static_cast<uint16_t>(first >> 16)) return;
    const uint8_t* tail = last_.data + last_.tail_offset();
    const size_t to = 2 * (size_t{last_.tail} + kBuffered);
    // A move that fills the tail also reads all of it, to code it as a
    // block, and writes the block's skip entry.
    const bool codes = last_.tail + uint32_t{kBuffered} >= kBlock;
    for (size_t at = codes ? 0 : 2 * size_t{last_.tail}; at < to; at += 64) prefetch_line(tail + at);
    prefetch_line(tail + to - 1);
    if (codes) prefetch_line(last_.data + last_.cap - 4 * (size_t{last_.nblocks} + 1));
  }

  // Adds any number; one already present is left alone.
  void add(uint32_t d, PostingMemory& mem);
  // Removes d; returns whether it was present.
  bool remove(uint32_t d, PostingMemory& mem);
  // For callers that look d up in many lists in turn: prefetches of the
  // memory a lookup of d reads, in three steps (the chunk table, the chunk's
  // skip entries, the block), each of which reads what the step before
  // fetched.
  void prefetch_lookup(uint32_t d, int step) const;
  bool contains(uint32_t d) const;

  uint32_t cardinality() const { return card_; }
  bool empty() const { return card_ == 0; }
  // The largest number; the list must not be empty.
  uint32_t maximum() const;

  // The chunks, keys ascending, without the buffered numbers.
  size_t chunk_count() const { return nolder_ + (last_.data ? 1 : 0); }
  const Chunk& chunk(size_t i) const { return i < nolder_ ? older_[i] : last_; }
  // The buffered numbers: their low halves, ascending, all under one key and
  // above every number in the chunks.
  std::span<const uint16_t> buffered() const { return {buffered_, nbuffered_}; }
  uint16_t buffered_key() const { return buffered_key_; }

  // Calls f(d) for every number, ascending.
  template <class F>
  void for_each(F&& f) const {
    uint16_t scratch[Chunk::kRunValues];
    for (size_t i = 0, n = chunk_count(); i < n; ++i) {
      const uint32_t high = uint32_t{chunk(i).key} << 16;
      chunk(i).for_each_run(scratch, [&](const uint16_t* v, uint32_t m) {
        for (uint32_t j = 0; j < m; ++j) f(high | v[j]);
      });
    }
    const uint32_t high = uint32_t{buffered_key_} << 16;
    for (uint16_t i = 0; i < nbuffered_; ++i) f(high | buffered_[i]);
  }

  // Appends the Roaring portable serialisation of the set, the variant
  // without run containers (roaring_portable.h): exactly the bytes CRoaring
  // writes for the same set.
  void encode_portable(std::string& out) const;
  // Replaces the contents with the set of portable bytes (either variant),
  // which are validated first; invalid bytes change nothing.
  Status decode_portable(std::string_view bytes, PostingMemory& mem);

  // The two halves of decode_portable, for loading many lists at once: the
  // chunks of portable bytes (appended to `out`), in exact blocks, which any
  // thread may build; invalid bytes append nothing. Then, under the list's
  // usual rules, the contents replaced by such chunks, which the list takes
  // over (unless it throws std::bad_alloc); or the chunks freed.
  static Status decode_chunks(std::string_view bytes, std::vector<Chunk>& out);
  void adopt(std::span<const Chunk> chunks, PostingMemory& mem);
  static void release_chunks(std::span<const Chunk> chunks);

  // Frees all memory; the list is then empty.
  void release(PostingMemory& mem);
  // Moves the buffered numbers into their chunk.
  void flush(PostingMemory& mem);

 private:
  Chunk& chunk(size_t i) { return i < nolder_ ? older_[i] : last_; }
  Chunk* insert_chunk(size_t at, uint16_t key, PostingMemory& mem);
  void erase_chunk(size_t at, PostingMemory& mem);
  size_t find_chunk(uint16_t key) const;  // index of the first chunk with key >= `key`

  Chunk last_;      // the chunk with the largest key; data null when there is none
  Chunk* older_;    // the others, keys ascending
  uint32_t nolder_;
  uint32_t card_;  // buffered numbers included
  uint16_t buffered_key_;
  uint16_t nbuffered_;
  uint16_t buffered_[kBuffered];
};

static_assert(sizeof(PostingList::Chunk) == 24);
static_assert(sizeof(PostingList) == 128);
static_assert(std::is_trivial_v<PostingList>);

}  // namespace vesk
