// Vesk::recall_full: the recall core's answer, then the records it may have
// missed (recall/full_recall.h).
//
// The added records are found without lower-casing or searching every
// record: the substring index answers which records contain the query (a
// plain scan of its lower-cased texts only for a query shorter than a
// trigram), and the tag index lists the "outcome-failure" records, the only
// ones a failure memory can be or that score 0.8. Each kind is taken in the
// substring index's document order, one stable order; as the stable sort
// keeps each score's records in that order, at most top_k + 15 of each are
// needed, and the search for direct matches stops once it has them.
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

    const size_t cut = full_recall_cut(k);
    // Whether a record not in the answer may be added at all.
    auto eligible = [&](const Record* r) {
      return r && !answered.contains(r->id) && record_valid_at(*r, now) &&
             std::find(scan_namespaces.begin(), scan_namespaces.end(), r->namespace_) != scan_namespaces.end() &&
             record_is_public(*r) && !(r->strength < strength);
    };

    // Only a record tagged "outcome-failure" can score 0.8, as a direct match
    // or a failure memory: those few are listed by the tag index and tested
    // first, in document order.
    std::vector<uint32_t> tagged;
    tags->visit_ids_with(kFailureTag, [&](std::string_view id) {
      if (std::optional<uint32_t> doc = substrings->doc_of(id)) tagged.push_back(*doc);
      return true;
    });
    std::sort(tagged.begin(), tagged.end());
    size_t failures_taken = 0;
    for (uint32_t doc : tagged) {
      if (failures_taken >= cut) break;
      const Record* r = records->find_value(substrings->id(doc));
      if (!eligible(r)) continue;
      if (full_recall_added_score(*r, substrings->lowered(doc), lowered_query, words, failures) == 0.0f) continue;
      ++failures_taken;
      merged.emplace_back(kFailureScore, *r);
    }

    // Every other direct match scores 0.6: the first `cut` eligible ones in
    // document order are all the sort can keep, so the search stops there.
    size_t direct_taken = 0;
    if (cut > 0) {
      substrings->visit_containing(lowered_query, [&](uint32_t doc) {
        const Record* r = records->find_value(substrings->id(doc));
        if (!eligible(r) || has_failure_tag(*r)) return true;
        merged.emplace_back(kDirectMatchScore, *r);
        return ++direct_taken < cut;
      });
    }
  }
  sort_and_cut_full_recall(merged, k);
  return merged;
}

}  // namespace vesk
