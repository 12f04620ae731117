#include "model/scored_record.h"

#include <xxhash.h>

#include <algorithm>

#include "model/record_access.h"

namespace vesk {

uint64_t content_hash(std::string_view content) { return XXH3_64bits(content.data(), content.size()); }

uint64_t content_hash_of(const RecordLookup& records, std::string_view id) {
  const Record* r = records(id);
  return r ? content_hash(r->content) : 0;
}

RankedList top_hits_in_recall_order(std::vector<RecallHit>& hits, size_t top_k) {
  const size_t keep = std::min(top_k, hits.size());
  std::partial_sort(hits.begin(), hits.begin() + static_cast<ptrdiff_t>(keep), hits.end(),
                    [](const RecallHit& a, const RecallHit& b) {
                      return recall_order_before(a.score, a.hash, *a.id, b.score, b.hash, *b.id);
                    });
  RankedList out;
  out.reserve(keep);
  for (size_t i = 0; i < keep; ++i) out.emplace_back(*hits[i].id, hits[i].score);
  return out;
}

namespace {

// Stable sort in the recall order; each content hash is computed once.
template <class T, class Hash, class Score, class Id>
void stable_sort_in_recall_order(std::vector<T>& items, Hash hash_of, Score score_of, Id id_of) {
  std::vector<std::pair<uint64_t, size_t>> keys(items.size());
  for (size_t i = 0; i < items.size(); ++i) keys[i] = {hash_of(items[i]), i};
  std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
    const T& x = items[a.second];
    const T& y = items[b.second];
    return recall_order_before(score_of(x), a.first, id_of(x), score_of(y), b.first, id_of(y));
  });
  std::vector<T> sorted;
  sorted.reserve(items.size());
  for (const auto& k : keys) sorted.push_back(std::move(items[k.second]));
  items = std::move(sorted);
}

}  // namespace

void sort_scored_records(std::vector<ScoredRecord>& results) {
  stable_sort_in_recall_order(
      results, [](const ScoredRecord& r) { return content_hash(r.record.content); },
      [](const ScoredRecord& r) { return r.score; }, [](const ScoredRecord& r) -> std::string_view { return r.record.id; });
}

void sort_ranked_list(RankedList& list, const RecordLookup& candidates) {
  using Entry = RankedList::value_type;
  stable_sort_in_recall_order(
      list, [&](const Entry& e) { return content_hash_of(candidates, e.first); }, [](const Entry& e) { return e.second; },
      [](const Entry& e) -> std::string_view { return e.first; });
}

bool record_visible(const Record& record, std::span<const std::string> namespaces) {
  if (namespaces.empty()) return false;
  if (std::find(namespaces.begin(), namespaces.end(), record.namespace_) == namespaces.end()) return false;
  // Every collector asks this of each candidate: a public record is
  // answered without building an access decision.
  if (record_is_public(record)) return true;
  static const AccessRequest kAnonymous;
  return record_access_allowed(record, kAnonymous).allowed;
}

}  // namespace vesk
