#include "recall/recall_request.h"

#include <algorithm>
#include <limits>

namespace vesk {

size_t recall_candidate_count(size_t top_k) {
  const size_t doubled = top_k > std::numeric_limits<size_t>::max() / 2 ? std::numeric_limits<size_t>::max() : 2 * top_k;
  return std::min(std::max(doubled, top_k), kMaxRecallCandidates);
}

}  // namespace vesk
