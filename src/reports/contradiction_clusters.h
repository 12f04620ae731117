// Contradiction clusters: the unstable beliefs of one namespace that share a
// record or a tag, gathered so that an operator reviews them together.
//
// A belief is unstable when it is Unresolved, its volatility is at least 0.2,
// its stability at most 1.0 or its conflict mass above 0 (a NaN in any of the
// three also counts). Its namespace is its key up to the first ":"; its
// records are the members of its hypotheses in hypothesis order (an id equal
// to the one before it dropped); its tags those of its records still held.
// Two unstable beliefs of one namespace are linked when they share a record
// or a tag; each connected set is one cluster, members in the order a depth-
// first walk from the first unplaced belief takes them off its stack.
//
// Cluster id: XXH3 (seed 0) of namespace, U+0000, and the sorted member ids
// joined by U+0000, in hexadecimal (at least 12 digits). Clusters are ordered
// by mean volatility, then total conflict mass, then member count, all
// descending (a NaN compares equal), and cut to the limit: 20 when none is
// given, at most 100.
//
// Pure read: the caller holds the record map and the belief layer shared
// (the cognitive read view). Linking uses maps from record id and from tag to
// the beliefs that carry them, which gives the same members in the same
// order as comparing every pair.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "cognitive/belief_layer.h"
#include "model/record_map.h"
#include "reports/belief_instability.h"

namespace vesk {

std::vector<ContradictionCluster> contradiction_clusters(const RecordMap& records, const BeliefEngine& beliefs,
                                                         std::optional<std::string_view> namespace_,
                                                         std::optional<size_t> limit);

}  // namespace vesk
