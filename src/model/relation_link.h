// Typed links between records: the rule that sets one side of a typed link
// and tells whether it changed anything, and which relation types are the
// structural ones the store infers by itself.
#pragma once

#include <string_view>

#include "model/record.h"

namespace vesk {

// True when `record` already holds a connection to `target` of exactly
// `weight` (floating-point equality) with the relation type `relation_type`.
bool holds_relation_edge(const Record& record, std::string_view target, float weight, std::string_view relation_type);

// Sets the typed connection of `record` to `target` (Record::set_connection,
// the weight clamped into [0, 1]) unless holds_relation_edge; true when the
// record changed. Writers that want to journal only what changed call this
// on the record and write it only on true. A NaN weight changes nothing and
// gives false; callers refuse it first.
bool link_relation_edge(Record& record, std::string_view target, std::string_view relation_type, float weight);

// Family relations ("family." and whatever follows) and project membership
// ("belongs_to_project") are the structural relations.
bool is_structural_relation_type(std::string_view relation_type);

}  // namespace vesk
