// The capsule hash: SHA-256 over a canonical text of the capsule, so that
// two capsules can be compared by one value.
//
// The text is one compact JSON array of ten elements, in this order:
//
//   1  namespace                 string
//   2  purpose                   string, untrimmed
//   3  token_budget              integer
//   4  estimated_tokens          integer
//   5  source_record_count       integer
//   6  entries                   array of objects with the keys, in order:
//        "record_id", "category" (its name), "content" (the cut text),
//        "source_type", "semantic_type", "level" ("Working", "Decisions",
//        "Domain", "Identity"), "confidence", "strength", "salience" (the
//        shortest decimal that reads back to the 32-bit value, ".0" after a
//        whole number), "estimated_tokens" (integer), "selection_reasons"
//        (array of strings)
//   7  omitted_count             integer
//   8  refutation_count          integer
//   9  evidence_debt_count       integer
//   10 contradiction_count       integer
//
// No white space between tokens. Strings escape '"' and '\' with a
// backslash, U+0008, U+0009, U+000A, U+000C and U+000D as \b \t \n \f \r,
// the other characters below U+0020 as \u00 and two lower-case hex digits;
// everything else, non-ASCII included, is written as its UTF-8 bytes. This
// is exactly the compact form of model/json_writer.h. Neither the hash
// itself nor the compaction record is covered.
#pragma once

#include <string>

#include "exchange/context_capsule/context_capsule.h"

namespace vesk {

std::string serialize_capsule_hash_input(const ContextCapsule& capsule);

// SHA-256 of serialize_capsule_hash_input, 64 lower-case hex digits.
std::string compute_capsule_hash(const ContextCapsule& capsule);

}  // namespace vesk
