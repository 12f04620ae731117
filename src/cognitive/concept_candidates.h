// A concept candidate from one cluster of two or more seeds: its records,
// core and shell terms, tags, namespace and semantic type, the members'
// figures, cohesion, abstraction score, state, key and id.
//
//   abstraction = 0.2 cohesion + (0.2 s/(s+3) + (0.25 c + 0.35 min(ln(1+m), 1)))
//   state       Stable >= 0.75, Candidate >= 0.5, else (NaN too) Rejected
//   key         namespace:tags:semantic_type:first five core terms:sdr part
//   id          "c-" + hashed_id_hex(key)
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cognitive/concept_layer.h"
#include "cognitive/concept_seeds.h"
#include "model/record_map.h"

namespace vesk {

// The tags of the members' keys (second ':' field split at ',', a two-field
// key giving its semantic type) that at least ceil(n/2) of n keys carry,
// ascending.
std::vector<std::string> belief_key_tags(std::span<const std::string_view> keys);

// Evaluated in 32-bit floats in the grouping above.
float concept_abstraction_score(float cohesion, float stability, float confidence, float support_mass);
ConceptState concept_state_for(float abstraction_score);

// The low 32 bits of XXH3-64 of the positions as little-endian 16-bit
// values, as eight lower-case hex digits.
std::string concept_sdr_part(const Sdr& positions);

// None when the cluster has no record in the snapshot. `now` is Unix
// seconds (clamped at 0).
std::optional<ConceptCandidate> build_concept_candidate(std::span<const ConceptSeed* const> members,
                                                        const RecordMap& snapshot, double now);

}  // namespace vesk
