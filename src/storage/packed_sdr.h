// PackedSdr: a record's SDR positions as the record log's entry cache keeps
// them, about half the size of the plain list of 16-bit values and laid out
// for counting them against a query's 65,536-bit set (sdr_count.h).
//
// Strictly ascending positions (what the SDR encoder produces) are kept in
// blocks: position p falls in block p / 256, one of 256, and each block is
//   a list    the low bytes (p % 256) of its positions, ascending, when the
//             block holds fewer than 32 of them, or
//   a bitmap  four 64-bit words, bit x % 64 of word x / 64 set for each low
//             byte x, when it holds 32 or more.
// A block's head byte is min(count, 32), which is also the length of its
// body in bytes: a list is never longer than one 32-byte vector, and a
// bitmap is never longer than the list it replaces. A record of ~4,000
// positions spread over the range takes 264 + ~4,000 bytes instead of 8,000.
//
// Any other sequence (out of order or with repeats, which only a log written
// by something else can hold) is kept as given, in plain form, so that
// positions() returns exactly the sequence packed and a count counts every
// repeat, as counting the plain list did. A plain form may also refer to a
// list held elsewhere instead of holding a copy (plain_view_into()).
//
// Layout, in memory only (native byte order), from an 8-byte aligned start:
//
//   offset  size  field
//   0       4     n, the number of positions
//   4       2     blocks: body bytes; plain: 0
//   6       1     form: 0 blocks, 1 plain
//   7       1     zero
//   8       8     plain: where the positions are (offset 16, or elsewhere)
//   16      256   blocks: the heads, block 0 first
//   272     ...   blocks: the bodies, back to back in block order
//   16      2n    plain, held: the positions as given
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace vesk {

class PackedSdr {
 public:
  enum class Form : uint8_t { kBlocks = 0, kPlain = 1 };
  static constexpr size_t kBlockCount = 256;
  static constexpr size_t kHeaderSize = 16;
  // The head of a bitmap block, and the length of its body.
  static constexpr uint8_t kBitmapHead = 32;

  PackedSdr(const PackedSdr&) = delete;
  PackedSdr& operator=(const PackedSdr&) = delete;

  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  Form form() const { return static_cast<Form>(form_); }
  // Blocks form: one head per block, and the bodies they describe.
  const uint8_t* heads() const { return bytes(); }
  const uint8_t* body() const { return bytes() + kBlockCount; }
  size_t body_size() const { return body_size_; }
  // Plain form: the positions as given.
  std::span<const uint16_t> plain() const { return {plain_, form() == Form::kPlain ? count_ : 0}; }
  // Where the data a count reads starts: the heads, or the plain positions.
  const void* data() const { return form() == Form::kPlain ? static_cast<const void*>(plain_) : bytes(); }
  // Bytes from the start of the header to the end of the data it holds.
  size_t byte_size() const;
  // The positions, in the order and with the repeats they were packed with.
  std::vector<uint16_t> positions() const;

  // A plain form at `at` (kHeaderSize bytes, 8-byte aligned) that refers to
  // `positions`, which must outlive it, instead of holding a copy.
  static const PackedSdr& plain_view_into(void* at, std::span<const uint16_t> positions);

 private:
  friend class SdrPacker;
  PackedSdr() = default;
  const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(this) + kHeaderSize; }

  uint32_t count_ = 0;
  uint16_t body_size_ = 0;
  uint8_t form_ = 0;
  uint8_t zero_ = 0;
  const uint16_t* plain_ = nullptr;
};
static_assert(sizeof(PackedSdr) == PackedSdr::kHeaderSize);

// Packs a sequence of positions: the constructor works out the form and the
// size (one pass over the positions), pack_into() writes it (a second).
// The positions must stay alive and unchanged until pack_into() is done.
class SdrPacker {
 public:
  explicit SdrPacker(std::span<const uint16_t> positions);
  // `count` little-endian 16-bit values at `le`, as the record log stores them.
  SdrPacker(const char* le, size_t count);

  // Bytes pack_into() writes, a multiple of 8.
  size_t packed_size() const { return packed_size_; }
  // Writes the packed form at `at` (packed_size() bytes, 8-byte aligned).
  const PackedSdr& pack_into(void* at) const;

 private:
  template <class Source>
  void plan(const Source& src);
  template <class Source>
  void write(const Source& src, uint8_t* heads, uint8_t* body) const;

  const uint16_t* positions_ = nullptr;
  const char* le_ = nullptr;  // set when packing from little-endian bytes
  size_t count_ = 0;
  bool blocked_ = true;
  bool any_bitmap_ = false;
  size_t body_size_ = 0;
  size_t packed_size_ = 0;
  uint16_t block_counts_[PackedSdr::kBlockCount] = {};
};

// A packed SDR in a buffer of its own (the entry cache keeps its packed SDRs
// inside its entries instead).
class PackedSdrBuffer {
 public:
  explicit PackedSdrBuffer(std::span<const uint16_t> positions);
  const PackedSdr& get() const { return *reinterpret_cast<const PackedSdr*>(words_.get()); }

 private:
  std::unique_ptr<uint64_t[]> words_;
};

}  // namespace vesk
