// The set bits of a 65,536-bit set, read out as ascending 16-bit positions.
//
// The set is 1,024 words; position p is bit p % 64 of word p / 64. The SDR
// encoder collects a text's positions in such a set (deduplicating them for
// free) and reads them out here. A set filled by a 200-character text has
// about three bits in every word, so a read-out that branches per bit
// mispredicts once per word; the vector form has no branch per word or bit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vesk {

inline constexpr size_t kBitSetWords = 1024;
// How far past the last position a read-out may write (it stores whole
// vectors): the output needs room for the count plus this many values.
inline constexpr size_t kBitPositionsSlack = 32;

// Writes the positions of the set bits of `words`, ascending, to `out` and
// returns their count. `out` has room for count + kBitPositionsSlack values;
// what lies past the count afterwards is unspecified.
size_t read_bit_positions(const uint64_t* words, uint16_t* out);

// The same by one implementation, which read_bit_positions picks by what the
// processor has (tests check each against the portable one); false when the
// processor cannot run it.
enum class BitPositionsCode { Portable, Avx512 };
bool read_bit_positions_by(BitPositionsCode code, const uint64_t* words, uint16_t* out, size_t* count);

}  // namespace vesk
