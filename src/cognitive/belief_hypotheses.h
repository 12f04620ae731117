// The second half of the belief phase for one final claim group: how its
// records split into competing hypotheses, and a hypothesis' values.
//
// Conflict edges join two records of the group when one has a connection
// whose relation type contains "conflict" or "contradict". With edges, the
// records (ascending id) are 2-coloured component by component, breadth
// first, a component's first record coloured 1 when its semantic type is
// "contradiction": a two-sided component gives its colour-0 and colour-1
// records as two hypotheses, any other component one hypothesis per record;
// records without edges follow one each. Without edges, "contradiction"
// records stand against the others; otherwise a record whose conflict mass
// exceeds its support mass splits the group into single records, and else
// the group is one hypothesis. Whenever the split cannot name a winner (two
// or more components, a component that is not two-sided, a record without
// edges, or single records forced by conflict mass) the forced-irresolution
// flag is set.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cognitive/belief_layer.h"
#include "cognitive/claim_keys.h"

namespace vesk {

struct HypothesisSplit {
  std::vector<ClaimGroup> hypotheses;
  bool forced_irresolution = false;
};

HypothesisSplit split_hypotheses(const ClaimGroup& group);

// XXH3 of the belief id followed, for each member id in ascending byte
// order, by a zero byte and the id.
std::string hypothesis_id(std::string_view belief_id, std::vector<std::string> member_ids);

// A hypothesis of `members` under a belief, its values computed at `now`
// (Unix seconds):
//   confidence   mean member confidence
//   support/conflict mass  sums
//   recency      exp(-max(0, (now - newest) / 86400) / 14), f64, stored f32;
//                newest = max(0, valid_from or created_at of each member)
//   consistency  1 / (1 + sample variance of the confidences); 1 alone
//   score        max(0, (ln(1 + support) + 1) * confidence * recency *
//                consistency - 0.35 * ln(1 + conflict)), f32 logarithms
Hypothesis make_hypothesis(const std::string& belief_id, const ClaimGroup& members, double now);

}  // namespace vesk
