// The record -> patterns index of the causal layer (CausalRecordIndex in
// causal_layer.h): what a reader needs to find the patterns of one record
// without a pass over every pattern, as the recall reranking does on every
// recall.
#pragma once

#include <string_view>

#include "cognitive/causal_layer.h"

namespace vesk {

// Rebuilds engine.record_patterns from engine.patterns: one pass over the
// patterns and their record lists.
void index_causal_records(CausalEngine& engine);

// The patterns that name a record, or null when none does.
const CausalRecordLinks* causal_links_for_record(const CausalEngine& engine, std::string_view record_id);

}  // namespace vesk
