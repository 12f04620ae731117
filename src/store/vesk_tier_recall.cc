// Vesk::recall_tier: the records of the cognitive or the core tier, the best
// matches of a query or, without one, a listing by importance.
#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

#include "model/record_access.h"
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

// The cache lines of the fields the listing reads: level, strength and the
// validity window, the connection count, the namespace, the salience.
void prefetch_tier_fields(const Record& r) {
  __builtin_prefetch(&r.level);
  __builtin_prefetch(&r.valid_until);
  __builtin_prefetch(&r.connections);
  __builtin_prefetch(&r.namespace_);
  __builtin_prefetch(&r.salience);
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
  // The records an anonymous reader may not see are those whose
  // "acl_visibility" is not "public": the metadata value index names every
  // record holding the key, so the walk reads no record's metadata.
  std::unordered_set<const Record*> hidden;
  for (const Record* r : records_.by_metadata(records).records_with_key(*records, "acl_visibility")) {
    if (!record_is_public(*r)) hidden.insert(r);
  }
  // The best `limit` by importance, ties in the map's order: the same as a
  // stable sort of every qualifying record, but only the kept ones are copied.
  struct Ranked {
    float key;
    size_t order;
    const Record* record;
  };
  auto before = [](const Ranked& a, const Ranked& b) { return a.key != b.key ? a.key > b.key : a.order < b.order; };
  std::vector<Ranked> ranked;
  // The records live in nodes of their own, and the fields read here lie on
  // several cache lines of each: the walk goes over the node addresses (the
  // map's slot vector, in map order) and asks for the lines of a record a few
  // places ahead, so that the walk does not wait on each node in turn.
  std::vector<const Record*> nodes;
  nodes.reserve(records->size());
  for (const auto& entry : *records) nodes.push_back(&entry.second);
  constexpr size_t kAhead = 16;
  size_t order = 0;
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (i + kAhead < nodes.size()) prefetch_tier_fields(*nodes[i + kAhead]);
    const Record& record = *nodes[i];
    if (!level_in_tier(record.level, tier) || !record_valid_at(record, now)) continue;
    if (std::find(names.begin(), names.end(), record.namespace_) == names.end()) continue;
    // Anonymous readers only: the listing hands out whole records, so a
    // restricted one stays out, as in every other recall.
    if (!hidden.empty() && hidden.contains(&record)) continue;
    const Ranked candidate{sort_key(record), order++, &record};
    // A heap of the best `limit` so far, its worst on top: a record enters
    // only when it ranks before that one (an equal key never does, being
    // later in map order), so ties keep the map's order.
    if (ranked.size() < limit) {
      ranked.push_back(candidate);
      std::push_heap(ranked.begin(), ranked.end(), before);
    } else if (limit > 0 && before(candidate, ranked.front())) {
      std::pop_heap(ranked.begin(), ranked.end(), before);
      ranked.back() = candidate;
      std::push_heap(ranked.begin(), ranked.end(), before);
    }
  }
  std::sort_heap(ranked.begin(), ranked.end(), before);
  out.reserve(ranked.size());
  for (const Ranked& r : ranked) out.push_back(*r.record);
  recall_.hits.count_recall(out.empty());
  return out;
}

}  // namespace vesk
