// How a causal pattern is named: the signature of each record in an edge,
// the pattern key built from two signatures, and the pattern id hashed from
// the key. The causal phase and every reader that looks a pattern up by its
// records (the policy phase, the recall reranking) use these, so a key built
// anywhere names the same pattern.
//
//   signature  the id of the record's settled belief (Resolved or Singleton),
//              else "orphan:{record id}"
//   key        "{namespace}:{cause signature}→{effect signature}" (U+2192)
//   id         "ca-" + XXH3-64 (seed 0) of the key's UTF-8 bytes, lower-case
//              hexadecimal, zero-padded to at least 12 digits
//
// Also the text names of the evidence modes, as `set_causal_evidence_mode`
// takes them.
#pragma once

#include <string>
#include <string_view>

#include "base/status.h"
#include "base/string_hash.h"
#include "cognitive/belief_layer.h"
#include "cognitive/causal_layer.h"

namespace vesk {

inline constexpr std::string_view kCausalOrphanPrefix = "orphan:";
inline constexpr std::string_view kCausalArrow = "\u2192";

// Record id -> id of its settled belief, for every record the belief layer
// indexes whose hypothesis and belief exist and whose belief is Resolved or
// Singleton. Records missing from the map are orphans.
StringMap settled_belief_by_record(const BeliefEngine& beliefs);

// The record's signature under a map built by settled_belief_by_record.
std::string causal_signature(const StringMap& settled_beliefs, std::string_view record_id);

std::string causal_pattern_key(std::string_view namespace_, std::string_view cause_signature,
                               std::string_view effect_signature);
std::string causal_pattern_id(std::string_view key);

// "strict", "temporal_cluster_recovery" or "explicit_trusted", matched
// exactly; anything else is a value error naming the text as a quoted
// literal.
Result<CausalEvidenceMode> parse_causal_evidence_mode(std::string_view text);

}  // namespace vesk
