// Vesk::recall_full: the recall core's answer, then the records it may have
// missed (recall/full_recall.h).
//
// The added records are found without lower-casing or searching every
// record: the substring index answers which records contain the query (a
// plain scan of its lower-cased texts only for a query shorter than a
// trigram), and the tag index lists the "outcome-failure" records, the only
// ones a failure memory can be. Both kinds are then visited in the substring
// index's document order, one stable order, and tested in full. At most
// top_k + 15 records of each added score are copied: the stable sort puts
// any later one of the same score behind them, past the cut.
//
// Locks: whatever recall_core takes and releases; then the records map, the
// tag index and the substring index for reading (store/lock_order.h), for
// the scan only.
#include <algorithm>
#include <utility>

#include "base/string_hash.h"
#include "base/trace.h"
#include "model/record_access.h"
#include "model/unicode_case.h"
#include "recall/full_recall.h"
#include "recall/recall_request.h"
#include "recall/record_validity.h"
#include "store/vesk.h"

namespace vesk {

std::vector<ScoredRecord> Vesk::recall_full(std::string_view query, std::optional<size_t> top_k,
                                            std::optional<bool> include_failures, std::optional<float> min_strength,
                                            std::optional<bool> expand_connections,
                                            std::optional<std::string> session_id,
                                            std::optional<std::vector<std::string>> namespaces) {
  VESK_SPAN(span, "recall_full", "vesk::vesk", trace::Level::Info, trace::field("query", query),
            trace::field("min_strength", min_strength), trace::field("expand_connections", expand_connections),
            trace::field("session_id", session_id), trace::field("namespaces", namespaces_field(namespaces)),
            trace::field("top_k", top_k), trace::field("include_failures", include_failures));
  const size_t k = top_k.value_or(20);
  const float strength = min_strength.value_or(0.1f);
  const bool failures = include_failures.value_or(true);
  const std::vector<std::string> scan_namespaces = namespaces ? *namespaces : std::vector<std::string>{"default"};
  const double now = std::max(env_.now_seconds(), 0.0);

  RecallRequest request{.query = query,
                        .top_k = k,
                        .expand_connections = expand_connections.value_or(true),
                        .min_strength = strength,
                        .session_id = std::move(session_id),
                        .namespaces = std::move(namespaces)};
  std::vector<ScoredRecord> merged = recall_core(request);
  if (scan_namespaces.empty()) return merged;

  {
    auto records = records_.records.read();
    auto tags = indexes_.tags.read();
    auto substrings = indexes_.substrings.read();
    StringSet answered;
    for (const ScoredRecord& r : merged) answered.insert(r.record.id);
    const std::string lowered_query = to_lower_full(query);
    const std::vector<std::string_view> words = significant_query_words(lowered_query);

    std::vector<uint32_t> docs = substrings->docs_containing(lowered_query);
    if (failures && !words.empty()) {
      const size_t direct = docs.size();
      tags->visit_ids_with(kFailureTag, [&](std::string_view id) {
        if (std::optional<uint32_t> doc = substrings->doc_of(id)) docs.push_back(*doc);
        return true;
      });
      std::sort(docs.begin() + static_cast<std::ptrdiff_t>(direct), docs.end());
      std::inplace_merge(docs.begin(), docs.begin() + static_cast<std::ptrdiff_t>(direct), docs.end());
      docs.erase(std::unique(docs.begin(), docs.end()), docs.end());
    }

    const size_t cut = full_recall_cut(k);
    size_t failures_taken = 0, direct_taken = 0;
    for (uint32_t doc : docs) {
      const std::string& id = substrings->id(doc);
      if (answered.contains(id)) continue;
      const Record* r = records->find_value(id);
      if (!r || !record_valid_at(*r, now)) continue;
      if (std::find(scan_namespaces.begin(), scan_namespaces.end(), r->namespace_) == scan_namespaces.end()) continue;
      if (!record_is_public(*r) || r->strength < strength) continue;
      const float score = full_recall_added_score(*r, substrings->lowered(doc), lowered_query, words, failures);
      if (score == 0.0f) continue;
      size_t& taken = score == kFailureScore ? failures_taken : direct_taken;
      if (taken >= cut) continue;
      ++taken;
      merged.emplace_back(score, *r);
    }
  }
  sort_and_cut_full_recall(merged, k);
  return merged;
}

}  // namespace vesk
