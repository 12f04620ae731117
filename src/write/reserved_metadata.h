// The tags and metadata keys that only captured consequences may carry.
//
// Reserved: the tags "consequence-unit", "consequence-refute",
// "consequence-support" and "consequence-inconclusive"; metadata keys that
// begin with "cu_"; and the key "kind" with the exact value
// "consequence_unit" ("kind" with any other value is free). Every writer but
// consequence capture runs this check before it stores or changes anything.
#pragma once

#include <span>
#include <string>

#include "base/status.h"
#include "base/string_hash.h"

namespace vesk {

// The first reserved tag in list order, else the first reserved metadata key
// in the map's iteration order, fails with a Runtime error:
//   "tag {tag} is reserved for captured consequences; use capture_consequence()"
//   "metadata key {key} is reserved for captured consequences; use capture_consequence()"
// Tags are always reported before metadata.
Status check_reserved_consequence_metadata(std::span<const std::string> tags, const StringMap* metadata);

bool is_reserved_consequence_tag(std::string_view tag);

}  // namespace vesk
