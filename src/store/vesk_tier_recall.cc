// Vesk::recall_tier: the records of the cognitive or the core tier, the best
// matches of a query or, without one, a listing by importance.
#include <algorithm>
#include <cmath>
#include <limits>

#include "model/record_importance.h"
#include "recall/record_validity.h"
#include "store/vesk.h"

namespace vesk {
namespace {

// 3 x limit, saturating.
size_t query_road_top_k(size_t limit) {
  constexpr size_t kMax = std::numeric_limits<size_t>::max();
  return limit > kMax / 3 ? kMax : limit * 3;
}

// Importance as a sort key: NaN (a NaN strength) ranks below every number,
// so that the order is total.
float sort_key(const Record& r) {
  const float importance = record_importance(r);
  return std::isnan(importance) ? -std::numeric_limits<float>::infinity() : importance;
}

}  // namespace

std::vector<Record> Vesk::recall_tier(MemoryTier tier, std::optional<std::string_view> query, size_t limit,
                                      std::optional<std::vector<std::string>> namespaces) {
  std::vector<Record> out;
  if (query) {
    RecallRequest request;
    request.query = *query;
    request.top_k = query_road_top_k(limit);
    request.expand_connections = true;
    request.min_strength = 0.1f;
    request.namespaces = std::move(namespaces);
    std::vector<ScoredRecord> results = recall_core(request);
    for (ScoredRecord& result : results) {
      if (out.size() >= limit) break;
      if (level_in_tier(result.record.level, tier)) out.push_back(std::move(result.record));
    }
    recall_.hits.count_recall(out.empty());
    return out;
  }

  const std::vector<std::string> names = namespaces ? std::move(*namespaces) : std::vector<std::string>{"default"};
  const double now = std::max(0.0, env_.now_seconds());
  auto records = records_.records.read();
  // The best `limit` by importance, ties in the map's order: the same as a
  // stable sort of every qualifying record, but only the kept ones are copied.
  struct Ranked {
    float key;
    size_t order;
    const Record* record;
  };
  std::vector<Ranked> ranked;
  size_t order = 0;
  for (const auto& [id, record] : *records) {
    if (!level_in_tier(record.level, tier) || !record_valid_at(record, now)) continue;
    // Anonymous readers only: the listing hands out whole records, so a
    // restricted one stays out, as in every other recall.
    if (!record_visible(record, names)) continue;
    ranked.push_back({sort_key(record), order++, &record});
  }
  auto before = [](const Ranked& a, const Ranked& b) { return a.key != b.key ? a.key > b.key : a.order < b.order; };
  const size_t kept = std::min(limit, ranked.size());
  std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(kept), ranked.end(), before);
  out.reserve(kept);
  for (size_t i = 0; i < kept; ++i) out.push_back(*ranked[i].record);
  recall_.hits.count_recall(out.empty());
  return out;
}

}  // namespace vesk
