// The form a context capsule is handed to the caller in: an object with the
// keys "namespace", "purpose", "token_budget", "estimated_tokens",
// "source_record_count", "omitted_count", "refutation_count",
// "evidence_debt_count", "contradiction_count", "capsule_hash", "entries"
// and, for a compacted capsule only, "compaction".
//
// Each entry: "record_id", "category" (its name), "content", "source_type",
// "semantic_type", "level" (upper case: "WORKING" .. "IDENTITY"),
// "confidence", "strength", "salience" (the 32-bit values widened, so a
// stored 0.9 reads 0.8999999761581421), "estimated_tokens",
// "selection_reasons".
//
// The compaction: "baseline_entry_count", "output_entry_count",
// "additional_entry_count", "original_equivalent_tokens",
// "compacted_tokens", "saved_tokens", "reduction_ratio" (widened),
// "transformed_entry_count", "protected_entry_count", "originals_unchanged".
#pragma once

#include "exchange/context_capsule/context_capsule.h"
#include "model/json_value.h"

namespace vesk {

JsonObject context_capsule_to_dict(const ContextCapsule& capsule);

}  // namespace vesk
