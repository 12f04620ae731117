// OverlapCounts: in how many of a set of posting lists each document occurs,
// and the documents that occur in the most.
//
// The SDR search counts every document of up to 512 posting lists, and the
// lists of a query can each hold a large share of the store, so one memory
// update per posting is what a search would cost. The counts are kept
// instead as bit planes: for each block of 65,536 documents (a posting
// chunk's key), plane j holds bit j of every document's count, 64 documents
// to a word. Each chunk's blocks are decoded (posting_block.h) and counted a
// byte per document, and the bytes are added to the planes in bulk, eight
// planes of 64 documents at a time (a few numbers are added one by one). The
// best-counted documents are found by a radix selection over the planes, one
// plane at a time, and their counts are read back only for those selected.
//
// One object is reused from search to search (its memory stays allocated);
// it is not shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "index/posting_list.h"

namespace vesk {

class OverlapCounts {
 public:
  // vector_instructions: use AVX2 where the processor has it (tests turn
  // it off to check the portable code).
  explicit OverlapCounts(bool vector_instructions = true);
  ~OverlapCounts();
  OverlapCounts(const OverlapCounts&) = delete;
  OverlapCounts& operator=(const OverlapCounts&) = delete;

  // Starts over with every count at 0; documents above max_doc are never
  // counted.
  void reset(uint32_t max_doc);
  // Adds 1 to the count of every document (up to max_doc) of each list.
  void add(std::span<const PostingList* const> lists);
  // The lists added since the reset.
  uint64_t lists() const { return lists_; }

  // The number of documents whose count is above 0.
  uint64_t counted() const;
  // The first `take` documents (at most counted()) in the order count
  // descending, then document ascending, as (document, count) pairs.
  void best(size_t take, std::vector<std::pair<uint32_t, uint32_t>>& out);
  // One document's count.
  uint32_t count(uint32_t d) const;

 private:
  static constexpr int kMaxPlanes = 16;
  static constexpr size_t kWords = 1024;  // 65,536 documents
  struct Block {
    uint16_t key;
    uint64_t* plane[kMaxPlanes];
    uint64_t* mask;  // selection scratch
  };
  uint64_t* take_words();  // a zeroed 8 KB buffer
  Block& block(uint16_t key);
  // A chunk or the buffered numbers of one list.
  struct Input {
    uint16_t key;
    bool is_chunk;
    PostingList::Chunk chunk;  // a copy: the counting reads the chunks in order
    const uint16_t* values;
    uint32_t n;  // numbers held
  };
  void add_block(Block& b, std::span<const Input> inputs);

  bool vector_ = true;
  uint32_t max_doc_ = 0;
  uint64_t lists_ = 0;
  int planes_ = 0;             // planes in use: bit width of lists_
  std::vector<Block> blocks_;  // keys ascending
  std::vector<uint64_t*> spare_;
  std::vector<uint64_t*> owned_;
  std::vector<Input> inputs_;
  uint8_t* bytes_ = nullptr;  // a counter per document of a block, all zero between calls
};

}  // namespace vesk
