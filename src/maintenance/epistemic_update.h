// The epistemic update: every live record (strength at least 0.05; NaN is
// not live) counts the neighbours that confirm it and those that conflict
// with it, keeps the counts as its support_mass and conflict_mass, and moves
// its volatility towards the size of the change.
//
// Neighbours of R: the targets of R's connections and the live records that
// share a tag with R. A neighbour counts only when it is live and in R's
// namespace. For such a pair, with `shared` the number of distinct tags both
// carry, the relation type the one R keeps for N (else the one N keeps for R),
// and `strong` R's link weight to N (else N's to R) being at least 0.1:
//
//   ignored   shared 0, no relation, not strong
//   conflict  the relation contains "conflict" or "contradict"; or either is
//             a "contradiction" record and shared >= 2; or shared >= 1 and
//             one is Working while the other is Identity
//   support   (else) shared >= 1 and the same semantic type; or the relation
//             is exactly "coactivation", "associative" or "causal"; or
//             shared >= 2
//
// Every count is taken from the records as they were when the update began;
// records are written last, so the visiting order changes nothing. Then, per
// live record (32-bit floats):
//
//   change     = min(1, 0.2 |s - old_s| / max(s, old_s, 1)
//                     + 0.8 |c - old_c| / max(c, old_c, 1))
//   volatility = 0.7 old + 0.3 change
//
// A record counts as updated when a mass changed or its volatility moved by
// more than 2^-23, as volatile when the new volatility is at least 0.05.
//
// Cost: a neighbour reached only through tags has no relation and is not
// strong, so what it adds depends only on its class (namespace, semantic type,
// Working / Identity / other) and on whether it shares one tag or more. Those
// are counted per record from counts kept per tag subset (inclusion-exclusion
// over the record's few distinct tags), so one tag carried by every record
// costs no walk over all pairs. Records with more than kMaxSubsetTags distinct
// tags walk their tag-mates directly. Neighbours joined by a link or a
// relation type, either way, are visited one by one.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "maintenance/phase_reports.h"
#include "model/record_map.h"

namespace vesk {

inline constexpr float kLiveStrength = 0.05f;
inline constexpr size_t kMaxSubsetTags = 6;

// The confirming and conflicting neighbours of one live record.
struct EpistemicCounts {
  std::string_view id;  // the key in the counted map
  uint32_t support = 0;
  uint32_t conflict = 0;

  bool operator==(const EpistemicCounts&) const = default;
};

// The counts of every live record, in map order. Reads only.
std::vector<EpistemicCounts> count_epistemic_neighbours(const RecordMap& records);

// Writes counts made from `records` (in that order) into it.
EpistemicPhaseReport apply_epistemic_counts(RecordMap& records, const std::vector<EpistemicCounts>& counts);

// Both steps; the caller holds the record map for writing.
EpistemicPhaseReport update_epistemic_state(RecordMap& records);

}  // namespace vesk
