#include "recall/full_recall.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/level.h"
#include "model/unicode_text.h"
#include "recall/recall_items.h"

namespace vesk {

size_t full_recall_cut(size_t top_k) {
  return top_k > std::numeric_limits<size_t>::max() - kFullRecallExtraRoom ? std::numeric_limits<size_t>::max()
                                                                          : top_k + kFullRecallExtraRoom;
}

std::vector<std::string_view> significant_query_words(std::string_view lowered_query) {
  std::vector<std::string_view> words;
  size_t start = 0, i = 0;
  auto keep = [&](size_t end) {
    if (end - start >= kSignificantWordBytes) words.push_back(lowered_query.substr(start, end - start));
  };
  while (i < lowered_query.size()) {
    const size_t at = i;
    if (is_unicode_white_space(next_code_point(lowered_query, i))) {
      keep(at);
      start = i;
    }
  }
  keep(lowered_query.size());
  return words;
}

bool has_failure_tag(const Record& record) {
  return std::find(record.tags.begin(), record.tags.end(), kFailureTag) != record.tags.end();
}

float full_recall_added_score(const Record& record, std::string_view lowered_content,
                              std::string_view lowered_query, std::span<const std::string_view> significant_words,
                              bool include_failures) {
  const bool failure = has_failure_tag(record);
  if (lowered_content.find(lowered_query) != std::string_view::npos) return failure ? kFailureScore : kDirectMatchScore;
  if (!include_failures || !failure) return 0.0f;
  for (std::string_view word : significant_words)
    if (lowered_content.find(word) != std::string_view::npos) return kFailureScore;
  return 0.0f;
}

void sort_and_cut_full_recall(std::vector<ScoredRecord>& merged, size_t top_k) {
  // Scores are finite here (the core's, 0.6 and 0.8); a NaN would sort last.
  std::stable_sort(merged.begin(), merged.end(), [](const ScoredRecord& a, const ScoredRecord& b) {
    const float x = std::isnan(a.score) ? -1.0f : a.score;
    const float y = std::isnan(b.score) ? -1.0f : b.score;
    return x > y;
  });
  const size_t cut = full_recall_cut(top_k);
  if (merged.size() > cut) merged.resize(cut);
}

JsonObject full_recall_item(const ScoredRecord& result) {
  // The scoped item's eight keys, then the trust and source lookups.
  const Record& r = result.record;
  JsonObject o = scoped_context_item(result);
  if (!r.metadata.empty()) {
    if (auto it = r.metadata.find("trust_score"); it != r.metadata.end()) o.append("trust", it->second);
    if (auto it = r.metadata.find("source"); it != r.metadata.end()) o.append("source", it->second);
  }
  return o;
}

}  // namespace vesk
