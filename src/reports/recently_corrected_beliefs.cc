// The beliefs the newest correction entries touched.
#include "reports/recently_corrected_beliefs.h"

#include <algorithm>
#include <numeric>
#include <string_view>
#include <unordered_set>

namespace vesk {

size_t recently_corrected_limit(std::optional<uint64_t> limit) {
  if (!limit) return kDefaultRecentlyCorrected;
  return static_cast<size_t>(std::min<uint64_t>(*limit, kMaxRecentlyCorrected));
}

std::vector<Belief> recently_corrected_beliefs(std::span<const CorrectionLogEntry> log, const BeliefEngine& beliefs,
                                               size_t limit) {
  std::vector<Belief> out;
  if (limit == 0) return out;
  std::vector<size_t> order;
  for (size_t i = 0; i < log.size(); ++i)
    if (log[i].target_kind == "belief") order.push_back(i);
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return log[a].timestamp < log[b].timestamp; });
  std::reverse(order.begin(), order.end());

  std::unordered_set<std::string_view> met;
  for (size_t i : order) {
    const std::string& id = log[i].target_id;
    if (!met.insert(id).second) continue;
    auto it = beliefs.beliefs.find(id);
    if (it == beliefs.beliefs.end()) continue;
    out.push_back(it->second);
    if (out.size() == limit) break;
  }
  return out;
}

}  // namespace vesk
