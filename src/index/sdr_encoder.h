// SDR encoder: a text becomes a sparse set of 16-bit positions derived from
// its character 2-, 3- and 4-grams, so that texts sharing n-grams share
// positions. The result is what the SDR index posts and what the record log
// keeps beside each record.
//
// Every position is computed in a wide range (lo, hi) as lo + (v mod (hi-lo))
// and stored as its low 16 bits. v is the XXH3-64 (seed 0) hash of an n-gram:
//   4-grams: 20 positions h + k*9999, k = 0..19 (digit windows mixed first)
//   3-grams: 2 positions h and h + 1337 (digit windows mixed first)
//   texts of 1-2 characters: h and h + 1337 of the whole text
//   2-grams: 1 position h
// The list is sorted ascending and holds no repeats.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "model/level.h"

namespace vesk {

// A strictly ascending list of positions.
using Sdr = std::vector<uint16_t>;
// One SDR shared by everything that keeps it (the record log's entry cache
// and the SDR index): an SDR is immutable once encoded.
using SharedSdr = std::shared_ptr<const Sdr>;

enum class SdrRange : uint8_t { Core, General };
enum class SdrCase : uint8_t { Fold, Preserve };

// The two position ranges. They are fixed; the encoder carries no state.
struct SdrEncoder {
  static constexpr uint64_t kCoreStart = 0, kCoreEnd = 4096;
  static constexpr uint64_t kGeneralStart = 4096, kGeneralEnd = 262144;
};

Sdr encode_sdr(const SdrEncoder& encoder, std::string_view text, SdrRange range, SdrCase mode);

// The range a stored record is encoded in: core for Domain and Identity.
constexpr SdrRange sdr_range_for_level(Level level) {
  return level_is_core(level) ? SdrRange::Core : SdrRange::General;
}

// Number of positions common to two strictly ascending lists.
size_t sdr_overlap(const Sdr& a, const Sdr& b);

}  // namespace vesk
