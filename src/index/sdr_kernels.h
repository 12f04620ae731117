// The inner loops of the SDR encoder (sdr_encoder.h) that vector
// instructions speed up, each with the portable form the tests compare it
// with.
//
// A text's positions are collected in a 65,536-bit set (position p is bit
// p % 64 of word p / 64), which deduplicates them, and read out ascending.
// Most of them come from 4-grams: 20 positions per 4-gram, each
// start + ((r + offset_k) mod width) for the 4-gram's residue r (its hash
// mod width) and the fixed offsets of the range, kept as its low 16 bits.
//
//   expand_four_grams   residues -> their 20 positions each
//   set_bit_positions   positions -> bits of the set
//   read_bit_positions  bits of the set -> positions, ascending
//
// A set filled by a 200-character text has about three bits in every word,
// so a read-out that branches per bit mispredicts once per word; the vector
// read-out has no branch that depends on the bits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vesk {

inline constexpr size_t kBitSetWords = 1024;
inline constexpr size_t kFourGramPositions = 20;
// How far past the last position a read-out may write (it stores whole
// vectors): its output needs room for the count plus this many values.
inline constexpr size_t kBitPositionsSlack = 32;

// A position range of the encoder as the 4-gram expansion needs it.
struct FourGramRange {
  uint32_t start;
  uint32_t width;                         // at most 2^24
  uint32_t offsets[kFourGramPositions];  // each below width
};

enum class SdrKernelCode { Portable, Avx2, Avx512 };

// out[20 * i + k] = low 16 bits of start + ((residues[i] + offsets[k]) mod
// width), for residues below width.
void expand_four_grams(const FourGramRange& range, const uint32_t* residues, size_t n, uint16_t* out);
// Sets bit p of `words` for each of the n positions.
void set_bit_positions(uint64_t* words, const uint16_t* positions, size_t n);
// Writes the positions of the set bits of the kBitSetWords `words`,
// ascending, to `out` and returns their count. `out` has room for the count
// plus kBitPositionsSlack; what lies past the count afterwards is unspecified.
size_t read_bit_positions(const uint64_t* words, uint16_t* out);

// The same by one implementation, which the calls above pick by what the
// processor has; false when the processor cannot run it (or there is no such
// implementation of the kernel).
bool expand_four_grams_by(SdrKernelCode code, const FourGramRange& range, const uint32_t* residues, size_t n,
                          uint16_t* out);
bool read_bit_positions_by(SdrKernelCode code, const uint64_t* words, uint16_t* out, size_t* count);

}  // namespace vesk
