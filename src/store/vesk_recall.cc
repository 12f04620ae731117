// Vesk::recall, Vesk::recall_levels and Vesk::recall_structured: the text
// and structured recalls of the store object, with their caches.
//
// Every recall first asks whether its namespaces hold a record with a
// validity window; when they do, both caches are emptied, since an answer
// cached a moment ago may already include an expired record or miss one that
// just became valid. Then, without a session id, the cache is asked; on a
// miss the recall core ranks (and does the bookkeeping) and the answer is
// cached. A recall with a session id neither reads nor fills a cache, so its
// session notes are always taken. Every answer is counted.
//
// Locks: the recall index's read lock inside has_temporal_validity (released
// at once); each cache's mutex for one call; whatever recall_core takes and
// releases; then the records map's read lock (and the recall index's, for the
// identity block) for the rendering only.
#include "base/trace.h"
#include "model/debug_text.h"
#include "model/record.h"
#include "recall/context_block.h"
#include "recall/recall_cache.h"
#include "recall/recall_scope.h"
#include "store/vesk.h"

namespace vesk {
namespace {

enum class Layout { Provenance, Levels };

struct TextLayoutDefaults {
  std::string_view name;
  size_t candidates;
  uint64_t token_budget;
};
constexpr TextLayoutDefaults kProvenance{"provenance", 40, 8192};
constexpr TextLayoutDefaults kLevels{"levels", 20, 2048};
constexpr float kDefaultMinStrength = 0.1f;
constexpr size_t kDefaultStructuredTopK = 20;

std::vector<std::string> namespace_list(const std::optional<std::vector<std::string>>& namespaces) {
  return namespaces ? *namespaces : std::vector<std::string>{"default"};
}

}  // namespace

// The text recall of either layout; the caller counts the answer.
std::string Vesk::text_recall(bool levels, std::string_view query, std::optional<uint64_t> token_budget,
                              std::optional<float> min_strength, std::optional<bool> expand_connections,
                              std::optional<std::string> session_id,
                              std::optional<std::vector<std::string>> namespaces) {
  if (has_temporal_validity(namespaces)) clear_recall_caches();
  const TextLayoutDefaults& defaults = levels ? kLevels : kProvenance;
  const uint64_t budget = token_budget.value_or(defaults.token_budget);
  const float strength = min_strength.value_or(kDefaultMinStrength);
  const bool expand = expand_connections.value_or(true);
  const std::string key = text_recall_cache_source(defaults.name, recall_scope_key(query, namespaces), budget,
                                                   strength, expand);
  const bool cached = !session_id.has_value();
  if (cached) {
    if (std::optional<std::string> hit = recall_cache_get(recall_.text_cache, key)) return std::move(*hit);
  }
  RecallRequest request{.query = query,
                        .top_k = defaults.candidates,
                        .expand_connections = expand,
                        .min_strength = strength,
                        .session_id = std::move(session_id),
                        .namespaces = namespaces};
  std::vector<ScoredRecord> results = recall_core(request);
  const double now = env_.now_seconds();
  std::string text;
  if (!levels) {
    apply_relevance_floor(results);
    auto records = records_.records.read();
    uint64_t remaining = budget;
    if (flags_.identity_block.load(std::memory_order_relaxed)) {
      StringSet kept;
      for (const ScoredRecord& r : results) kept.insert(r.record.id);
      const std::vector<std::string> names = namespace_list(namespaces);
      auto index = records_.recall_index.read();
      const std::vector<const Record*> facts = identity_facts(*records, index->identity_ids(), names, now, kept);
      IdentityBlock block = render_identity_block(facts, budget);
      text = std::move(block.text);
      remaining = budget - block.cost;  // the block never costs more than a quarter
    }
    if (!results.empty()) {
      const ContextDateMode dates = flags_.context_dates.load(std::memory_order_relaxed);
      text += render_memory_context(results, record_lookup(*records), remaining, dates, now);
    }
  } else {
    auto records = records_.records.read();
    text = render_levels_context(results, record_lookup(*records), budget, now);
  }
  if (cached) recall_cache_put(recall_.text_cache, key, text);
  return text;
}

bool Vesk::has_temporal_validity(const std::optional<std::vector<std::string>>& namespaces) const {
  if (namespaces && namespaces->empty()) return false;
  return records_.recall_index.read()->has_validity_window_in(namespaces);
}

std::string Vesk::recall(std::string_view query, std::optional<uint64_t> token_budget,
                         std::optional<float> min_strength, std::optional<bool> expand_connections,
                         std::optional<std::string> session_id, std::optional<std::vector<std::string>> namespaces) {
  std::string text = text_recall(false, query, token_budget, min_strength, expand_connections, std::move(session_id),
                                 std::move(namespaces));
  recall_.hits.count_recall(text.empty());
  return text;
}

std::string Vesk::recall_levels(std::string_view query, std::optional<uint64_t> token_budget,
                                std::optional<float> min_strength, std::optional<bool> expand_connections,
                                std::optional<std::string> session_id,
                                std::optional<std::vector<std::string>> namespaces) {
  std::string text = text_recall(true, query, token_budget, min_strength, expand_connections, std::move(session_id),
                                 std::move(namespaces));
  recall_.hits.count_recall(text.empty());
  return text;
}

Result<std::string> Vesk::recall_formatted(std::string_view query, std::optional<uint64_t> token_budget,
                                           std::optional<float> min_strength,
                                           std::optional<bool> expand_connections,
                                           std::optional<std::string> session_id,
                                           std::optional<std::vector<std::string>> namespaces,
                                           std::optional<std::string_view> format) {
  const bool levels = format && *format == "levels";
  if (format && !levels && *format != "provenance") {
    return Status::Value("unknown recall format " + quote_debug(*format) + "; expected levels or provenance");
  }
  return levels ? recall_levels(query, token_budget, min_strength, expand_connections, std::move(session_id),
                                std::move(namespaces))
                : recall(query, token_budget, min_strength, expand_connections, std::move(session_id),
                         std::move(namespaces));
}

std::vector<ScoredRecord> Vesk::recall_structured(std::string_view query, std::optional<size_t> top_k,
                                                  std::optional<float> min_strength,
                                                  std::optional<bool> expand_connections,
                                                  std::optional<std::string> session_id,
                                                  std::optional<std::vector<std::string>> namespaces) {
  VESK_SPAN(span, "recall_structured", "vesk::vesk", trace::Level::Info, trace::field("query", query),
            trace::field("expand_connections", expand_connections), trace::field("session_id", session_id),
            trace::field("namespaces", namespaces_field(namespaces)), trace::field("top_k", top_k),
            trace::field("min_strength", min_strength));
  if (has_temporal_validity(namespaces)) clear_recall_caches();
  const size_t k = top_k.value_or(kDefaultStructuredTopK);
  const float strength = min_strength.value_or(kDefaultMinStrength);
  const bool expand = expand_connections.value_or(true);
  const std::string prefix = recall_scope_key(query, namespaces) + (expand ? ":true" : ":false");
  const bool cached = !session_id.has_value();
  std::optional<std::vector<ScoredRecord>> answer;
  if (cached) answer = recall_.structured_cache.get(structured_recall_cache_key(prefix, k, namespaces, strength));
  if (!answer) {
    RecallRequest request{.query = query,
                          .top_k = k,
                          .expand_connections = expand,
                          .min_strength = strength,
                          .session_id = std::move(session_id),
                          .namespaces = namespaces};
    answer = recall_core(request);
    if (cached) recall_.structured_cache.put(structured_recall_cache_key(prefix, k, namespaces, strength), *answer);
  }
  recall_.hits.count_recall(answer->empty());
  return std::move(*answer);
}

RecallHitStats Vesk::recall_hit_stats() const { return recall_.hits.read(); }

void Vesk::reset_recall_hit_stats() { recall_.hits.reset(); }

}  // namespace vesk
