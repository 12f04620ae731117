// Full recall: the recall core's answer widened by the records that the
// ranked pipeline may have missed.
//
// After the recall core has answered, every eligible record not in the
// answer is added when its lower-cased content contains the whole
// lower-cased query (a direct match: 0.6, or 0.8 for a record tagged
// "outcome-failure"), or, unless failure memories are turned off, when it is
// tagged "outcome-failure" and its content contains a significant word of
// the query (at least 4 UTF-8 bytes, words split at Unicode white space after
// lower-casing): 0.8. The merged list is stably sorted by score, descending,
// and cut to top_k + 15 entries.
//
// Eligible: valid at the call's time, in one of the recall's namespaces,
// readable by an anonymous reader, and at least as strong as the recall's
// strength floor.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/json_value.h"
#include "model/record.h"
#include "model/scored_record.h"

namespace vesk {

inline constexpr float kDirectMatchScore = 0.6f;
inline constexpr float kFailureScore = 0.8f;
inline constexpr std::string_view kFailureTag = "outcome-failure";
inline constexpr size_t kSignificantWordBytes = 4;
inline constexpr size_t kFullRecallExtraRoom = 15;

// top_k + 15, saturating.
size_t full_recall_cut(size_t top_k);

// The words of a lower-cased query that find failure memories: split at
// Unicode white space, those of at least 4 bytes, in query order.
std::vector<std::string_view> significant_query_words(std::string_view lowered_query);

bool has_failure_tag(const Record& record);

// The score a record not in the core's answer is added with, or 0 when it is
// not added. `lowered_content` and `lowered_query` are lower-cased alike.
float full_recall_added_score(const Record& record, std::string_view lowered_content,
                              std::string_view lowered_query, std::span<const std::string_view> significant_words,
                              bool include_failures);

// Stable sort by score, descending, then the cut to top_k + 15.
void sort_and_cut_full_recall(std::vector<ScoredRecord>& merged, size_t top_k);

// The item of one result: "id", "content", "score", "level" (display name),
// "strength", "tags", "source_type", "metadata" (every entry, in the map's
// order), then "trust" and "source" with the metadata texts "trust_score"
// and "source" when the record has them.
JsonObject full_recall_item(const ScoredRecord& result);

}  // namespace vesk
