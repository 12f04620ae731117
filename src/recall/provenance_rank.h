// Provenance-ranked recall: where each recalled memory came from, and the
// ranking that weighs its score by that.
//
// A memory is `lived_consequence` when it came from the agent's own contact
// with the world (a captured consequence, a tool, test or fetch run),
// `external_source` when it came from elsewhere, and `model_generated` when a
// model produced or inferred it. The first rule that applies decides:
//
//   1. a tag "consequence-support" or "consequence-refute": lived;
//   2. a `cu_provenance` metadata value with at least one non-blank line:
//      the lines (classify_cu_provenance);
//   3. the source type: "inferred" or "generated" is model-generated,
//      anything else external.
//
// The class multiplies the score (0.7, 1.0, 1.3, in 32 bits) and the product,
// clamped to [0, 1], is the effective score the answer is re-sorted by
// (stable: equal effective scores keep the recall's order).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "model/json_value.h"
#include "model/record.h"
#include "model/scored_record.h"

namespace vesk {

enum class ProvenanceClass : uint8_t { ModelGenerated = 0, ExternalSource = 1, LivedConsequence = 2 };

// "model_generated", "external_source" or "lived_consequence".
std::string_view provenance_name(ProvenanceClass c);
// 0.7, 1.0 or 1.3.
float provenance_multiplier(ProvenanceClass c);

// The class that a `cu_provenance` value gives, or none when the value has
// no non-blank line. Lines are split at "\n" (a "\r" before it dropped) and
// trimmed; each is ASCII lower-cased and cut into tokens at Unicode white
// space, '/', ':' and '|'; its head is the trimmed text before its first
// ':'. The first line with a lived token ("exec", "cargo", "fetch",
// "cycle_recorder", "capture_consequence") or a lived head ("sdk", "world",
// "tool", "test") makes the value lived; else any line with tokens and no
// model token ("model", "llm", "generated") makes it external; else it is
// model-generated.
std::optional<ProvenanceClass> classify_cu_provenance(std::string_view value);

// The class of a record by the three rules above.
ProvenanceClass classify_provenance(const Record& record);

struct ProvenanceRankedEntry {
  float effective_score = 0.0f;
  float base_score = 0.0f;
  ProvenanceClass provenance = ProvenanceClass::ExternalSource;
  Record record;
};

// The answer classified, weighted and stably re-sorted by effective score,
// descending. Takes the records over.
std::vector<ProvenanceRankedEntry> rank_by_provenance(std::vector<ScoredRecord> answer);

// The item of one entry: "id", "content", "score" (the effective score),
// "effective_score", "base_score", "provenance", "level" (display name),
// "strength", "tags", "source_type"; exactly these ten keys.
JsonObject provenance_ranked_item(const ProvenanceRankedEntry& entry);

}  // namespace vesk
