// The concept surface: a short, filtered, deduplicated list of the best
// concepts of the layer, as SurfacedConcept values.
//
// Eligible: in the namespace when one is given; belief and record ids
// present; core terms or tags present; Stable, or Candidate with an
// abstraction score of at least 0.7 (NaN fails). Order: abstraction score
// descending, confidence descending, more beliefs first, Stable before
// Candidate, key ascending; two floats that are not ordered count as equal
// and the next key decides (a merge sort, so no strict weak order is
// needed). The walk takes at most `limit` (default and cap 10) concepts,
// skips a key already seen (marking it even when it is then skipped for its
// namespace) and takes at most 5 per namespace.
//
// The caller holds the concept layer for reading.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "base/string_hash.h"
#include "cognitive/concept_layer.h"
#include "cognitive/surfaced_concept.h"

namespace vesk {

inline constexpr size_t kSurfacedConceptLimit = 10;
inline constexpr size_t kSurfacedConceptsPerNamespace = 5;

bool is_surfaceable_concept(const ConceptCandidate& concept_, std::optional<std::string_view> namespace_);

std::vector<SurfacedConcept> surface_concepts(const StringKeyMap<ConceptCandidate>& concepts,
                                              std::optional<size_t> limit,
                                              std::optional<std::string_view> namespace_);

}  // namespace vesk
