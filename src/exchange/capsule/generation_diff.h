// Comparing two generations of a container segment by segment.
//
// Segments are matched by exact name. Two segments of one name are equal
// when their "sha256" texts are identical (so the case of the hexadecimal
// digits counts) and their "original_size" values are equal; where and how
// they are stored ("offset", "stored_size", "codec") takes no part, so the
// same content stored again, reused, or stored raw in one generation and
// compressed in the other is unchanged. Only reads; takes no lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/env.h"
#include "base/status.h"
#include "model/capsule_toc.h"

namespace vesk {

struct ChangedSegment {
  std::string name;
  std::string previous_sha256;
  std::string current_sha256;
  uint64_t previous_size = 0;
  uint64_t current_size = 0;
};

struct GenerationDiff {
  uint64_t from_generation = 0;
  uint64_t to_generation = 0;
  // Each list in ascending byte order of the names.
  std::vector<std::string> added;      // in `to` only
  std::vector<std::string> removed;    // in `from` only
  std::vector<std::string> unchanged;  // in both, equal
  int64_t original_size_delta = 0;     // to's original size minus from's, wrapping
  std::vector<ChangedSegment> changed;  // in both, different
};

// Compares two TOCs; linear in their segments after sorting them by name.
// A name that a TOC repeats counts by its first segment in TOC order.
GenerationDiff diff_generation_tocs(const CapsuleToc& from, const CapsuleToc& to);

// Reads the container once and compares generations `from` and `to`, which
// may come in either order. The generation reader's errors
// (select_generation, container_reader.h), `from` looked up first.
Result<GenerationDiff> diff_container_generations(const fs::path& path, uint64_t from, uint64_t to, Env& env);

}  // namespace vesk
