// The shapes recall results take when a caller outside C++ reads them: one
// JSON-like object per structured result, with its keys in a fixed order.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "cognitive/surfaced_concept.h"
#include "model/json_value.h"
#include "model/scored_record.h"

namespace vesk {

// A list of texts (a record's tags and the like) as a JSON array.
JsonValue::Array text_list(const std::vector<std::string>& texts);

// The structured recall item: "id", "content", "score", "level" (its display
// name), "strength", "salience", "tags", "source_type", "created_at",
// "valid_from", "valid_until", "superseded_at" (null when unset), then
// "trust" and "source" with the metadata texts "trust_score" and "source"
// when the record has them. 32-bit values are widened exactly.
JsonObject structured_recall_item(const ScoredRecord& result);

// The items of a whole answer, in its order.
JsonValue::Array structured_recall_items(std::span<const ScoredRecord> results);

// The point-in-time recall item: "id", "content", "score", "level",
// "strength", "tags", "created_at", "valid_from", "valid_until",
// "superseded_at" (null when unset), "source_type"; with `with_trust`, then
// "trust" with the metadata text "trust_score" when the record has it.
JsonObject point_in_time_recall_item(const ScoredRecord& result, bool with_trust);

// The scoped context item: "id", "content", "score", "level" (its display
// name), "strength", "tags", "source_type", then "metadata" with every entry
// in the map's order. The values are those of the result's copy, taken
// before the recall's own activation.
JsonObject scoped_context_item(const ScoredRecord& result);

// Adds "concepts" to an item: one surfaced concept entry per concept ("id",
// "key", "state", "namespace", "semantic_type", "core_terms", "tags",
// "abstraction_score", "confidence", "cluster_size"), in order; nothing
// when the list is empty.
void append_concept_entries(JsonObject& item, std::span<const SurfacedConcept> concepts);

}  // namespace vesk
