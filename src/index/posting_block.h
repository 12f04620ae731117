// PostingBlock: up to 128 ascending numbers below 65,536 (the low halves of
// one posting chunk's document numbers), coded by their gaps.
//
// A posting list of a common position holds a large share of all documents,
// so its numbers are close together: the gaps between them, not the numbers,
// carry the information. The block's first number is kept by its owner (the
// chunk's skip entry, posting_list.h), so the block codes only the n - 1
// gaps after it, gap_i = v[i] - v[i - 1] - 1, in one of two forms:
//
// - Rice codes: each gap split at bit k into a low part (k bits) and a high
//   part written in unary, about log2 of the mean gap plus two bits a gap.
// - Packed: each gap in the same number of bits, w, enough for the widest.
//   Decoding needs no unary pass, so it is about twice as fast; in sparse
//   blocks (whose gaps vary little in width) it takes about a fifth more.
//
// The low parts and the unary parts are kept apart, so that each is read in
// bulk:
//
//   offset  size                 field
//   0       1                    bits 0-3: k, or w when packed (0..15); bit 4: a count
//                                byte follows; bit 5: packed
//   1       0 or 1               n (1..127) when bit 4 is set; n = 128 otherwise
//   h       ceil((n-1) * k / 8)  the low k bits of each gap (all w bits when packed),
//                                least significant bit first, gap after gap
//   ...     ceil(U / 8)          Rice codes only: for each gap, (gap >> k) zero bits
//                                then a one bit, least significant bit first; U bits,
//                                zero-padded
//
// The encoder picks the k that makes the Rice codes smallest, and packs
// where the best k is 4 or more, or where packing takes no more bytes. A
// block of 128 numbers then never takes more than 240 bytes (w = 15, or
// Rice codes with k = 8 would take 176), less than their 256 plain bytes;
// any block takes at most 2n + 4 bytes.
//
// Decoding reads ahead, up to 16 bytes past a block's end: where fewer are
// readable, the block is copied out first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vesk {

struct PostingBlock {
  static constexpr uint32_t kMaxValues = 128;

  // The most bytes a block of n numbers takes.
  static constexpr size_t max_bytes(uint32_t n) { return 2 * size_t{n} + 4; }

  // Writes the block of v[0..n) (1 <= n <= 128, strictly ascending) to out,
  // which has room for max_bytes(n); returns the bytes written. v is read in
  // full before anything is written, so a full block may be written over
  // its own 256 plain bytes (out at or before v).
  static size_t encode(const uint16_t* v, uint32_t n, uint8_t* out);

  // The number of values of the block at `in`.
  static uint32_t count(const uint8_t* in) { return in[0] & 0x10 ? in[1] : kMaxValues; }

  // Decodes `count` consecutive blocks (at most kRunBlocks), which start at
  // `in` and take `size` bytes, block i's first number being firsts[i]:
  // writes their numbers to out, one block after the other (room for their
  // count + 16), and returns how many. `readable` bytes from `in` may be
  // read: the blocks are read in place when kReadPast bytes past their end
  // are readable, else from a copy. `vector_instructions` allows AVX2 where
  // the processor has it (tests turn it off to check the portable code).
  static constexpr size_t kRunBlocks = 8;
  static constexpr size_t kReadPast = 16;
  static size_t decode(const uint8_t* in, size_t size, size_t readable, const uint16_t* firsts, size_t count,
                       uint16_t* out, bool vector_instructions = true);

 private:
  static constexpr size_t kMaxRunBytes = kRunBlocks * (2 * kMaxValues + 4);  // max_bytes of a full run
};

}  // namespace vesk
