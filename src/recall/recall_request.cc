#include "recall/recall_request.h"

#include <algorithm>
#include <limits>

#include "model/debug_text.h"

namespace vesk {

std::optional<std::string> namespaces_field(const std::optional<std::vector<std::string>>& namespaces) {
  if (!namespaces) return std::nullopt;
  std::vector<std::string_view> views(namespaces->begin(), namespaces->end());
  return quote_debug_list(views);
}

size_t recall_candidate_count(size_t top_k) {
  const size_t doubled = top_k > std::numeric_limits<size_t>::max() / 2 ? std::numeric_limits<size_t>::max() : 2 * top_k;
  return std::min(std::max(doubled, top_k), kMaxRecallCandidates);
}

}  // namespace vesk
