// Archive protection: which records no automatic removal may touch.
#pragma once

#include "model/record.h"
#include "base/string_hash.h"

namespace vesk {

// True when the record is pinned, at level Identity, tagged
// "consequence-refute", closed (a `valid_until` or `superseded_at` time is
// set: its history must survive), or carries a tag of `protected_tags` (exact,
// case-sensitive). The caller passes the archive-protected set of its tag
// taxonomy.
bool is_archive_protected(const Record& record, const StringSet& protected_tags);

}  // namespace vesk
