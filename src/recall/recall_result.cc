#include "recall/recall_result.h"

#include <xxhash.h>

#include <algorithm>

#include "write/record_access.h"

namespace vesk {

uint64_t content_hash(std::string_view content) { return XXH3_64bits(content.data(), content.size()); }

uint64_t content_hash_of(const RecordLookup& records, std::string_view id) {
  const Record* r = records(id);
  return r ? content_hash(r->content) : 0;
}

void sort_scored_records(std::vector<ScoredRecord>& results) {
  std::vector<std::pair<uint64_t, size_t>> keys(results.size());
  for (size_t i = 0; i < results.size(); ++i) keys[i] = {content_hash(results[i].record.content), i};
  std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
    const ScoredRecord& x = results[a.second];
    const ScoredRecord& y = results[b.second];
    return recall_order_before(x.score, a.first, x.record.id, y.score, b.first, y.record.id);
  });
  std::vector<ScoredRecord> sorted;
  sorted.reserve(results.size());
  for (const auto& k : keys) sorted.push_back(std::move(results[k.second]));
  results = std::move(sorted);
}

void sort_ranked_list(RankedList& list, const RecordLookup& candidates) {
  std::vector<std::pair<uint64_t, size_t>> keys(list.size());
  for (size_t i = 0; i < list.size(); ++i) keys[i] = {content_hash_of(candidates, list[i].first), i};
  std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
    const auto& x = list[a.second];
    const auto& y = list[b.second];
    return recall_order_before(x.second, a.first, x.first, y.second, b.first, y.first);
  });
  RankedList sorted;
  sorted.reserve(list.size());
  for (const auto& k : keys) sorted.push_back(std::move(list[k.second]));
  list = std::move(sorted);
}

bool record_visible(const Record& record, std::span<const std::string> namespaces) {
  if (namespaces.empty()) return false;
  if (std::find(namespaces.begin(), namespaces.end(), record.namespace_) == namespaces.end()) return false;
  static const AccessRequest kAnonymous;
  return record_access_allowed(record, kAnonymous).allowed;
}

}  // namespace vesk
