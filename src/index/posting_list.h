// PostingList: one SDR position's set of document numbers, in memory.
//
// The set is kept the way a Roaring bitmap keeps it: the numbers that share
// their high 16 bits form a chunk (its key), held as an ascending array of
// their low halves or, once it has more than 4096 of them, as a bitset of
// 65,536 bits. The chunks are ours rather than a library's so that the two
// hot paths can reach them directly: the store road appends new, always
// largest, document numbers, and the search feeds whole bitsets to its
// counters (overlap_counts.h).
//
// Appends go through a small buffer inside the list (the numbers of the last
// few appends, one key at most) and are moved into their chunk in one batch
// when the buffer fills: an index holds 65,536 lists and a record posts into
// ~3,500 of them, so each append otherwise costs a cache miss on its chunk.
// Every reader sees buffer and chunks as one set; the buffered numbers are
// the largest. The last chunk (the one appends go to) is held inside the
// list itself, so that moving the buffer costs one cache miss (the chunk's
// end), which the appender can prefetch.
//
// The struct is two cache lines (the buffer takes most of them: the fewer
// moves, the fewer misses), trivially copyable, and all zero bytes are the
// empty list, so an index can calloc its 65,536 lists. The chunks live in a
// PostingMemory (posting_memory.h) the caller passes to every call that may
// allocate or free, always the same one for a list; release() gives them
// back. There is no destructor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "index/posting_memory.h"
#include "index/prefetch.h"
#include "base/status.h"

namespace vesk {

struct PostingList {
  static constexpr uint32_t kArrayMax = 4096;    // values of an array chunk at most
  static constexpr size_t kBitsetWords = 1024;  // 65,536 bits
  static constexpr int kBuffered = 46;

  struct Chunk {
    uint16_t key;   // the high 16 bits of its numbers
    uint16_t cap;   // capacity of an array chunk in values (a power of two from 16 while it
                    // grows, its count once trimmed or read from a file); 0 for a bitset
    uint32_t card;  // numbers held, at least 1
    void* data;     // uint16_t[cap] ascending, or uint64_t[1024] (64-byte aligned)

    bool is_bitset() const { return cap == 0; }
    const uint16_t* values() const { return static_cast<const uint16_t*>(data); }
    const uint64_t* words() const { return static_cast<const uint64_t*>(data); }
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
    if (!last_.data || last_.key != static_cast<uint16_t>(first >> 16)) return;
    if (last_.is_bitset()) {
      const uint16_t low = nbuffered_ ? buffered_[0] : static_cast<uint16_t>(first);
      prefetch_line(last_.words() + (low >> 6));
    } else {
      prefetch_line(last_.values() + last_.card);
    }
  }

  // Adds any number; one already present is left alone.
  void add(uint32_t d, PostingMemory& mem);
  // Removes d; returns whether it was present.
  bool remove(uint32_t d, PostingMemory& mem);
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
    for (size_t i = 0, n = chunk_count(); i < n; ++i) {
      const Chunk& c = chunk(i);
      const uint32_t high = uint32_t{c.key} << 16;
      if (c.is_bitset()) {
        for (size_t w = 0; w < kBitsetWords; ++w)
          for (uint64_t bits = c.words()[w]; bits; bits &= bits - 1)
            f(high | static_cast<uint32_t>(w * 64 + static_cast<size_t>(__builtin_ctzll(bits))));
      } else {
        for (uint32_t i = 0; i < c.card; ++i) f(high | c.values()[i]);
      }
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

static_assert(sizeof(PostingList) == 128);
static_assert(std::is_trivial_v<PostingList>);

}  // namespace vesk
