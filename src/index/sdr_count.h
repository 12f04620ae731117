// Counting a stored SDR against a query: how many of the stored positions
// are set in the query's positions as a 65,536-bit set (bit p of 64-bit
// word p / 64). The SDR search rescores its candidates with it; the count is
// the same whichever form the stored positions are in, and counts repeats.
//
// `vector_instructions` allows AVX2 where the processor has it (tests turn
// it off to check the portable code).
#pragma once

#include <cstddef>
#include <cstdint>

#include "index/sdr_encoder.h"
#include "storage/packed_sdr.h"

namespace vesk {

// A plain list: one bit test per position (eight at a time on gathered
// words with AVX2).
size_t count_positions_in(const uint64_t* bits, const Sdr& sdr, bool vector_instructions = true);

// A packed SDR. A list block tests all its low bytes against the block's 256
// query bits at once (with AVX2: byte shuffles of the 32 query bytes, no
// gather); a bitmap block is an AND and a population count.
size_t count_positions_in(const uint64_t* bits, const PackedSdr& sdr, bool vector_instructions = true);

}  // namespace vesk
