// The causal layer file "causal.cog": one CausalEngine.
//
// One JSON object, compact and sealed like every layer file
// (layer_file_save.h, sealed_format.h); members in the order of these
// tables, maps in their in-memory order (per-process random), lists in their
// order; optional members always written, null when empty. Integers are
// exact decimal u64 of up to 20 digits, written and read without passing
// through a double (the corpus fingerprint is a full 64-bit hash). Floats
// are written in the shortest form that reads back to the same value of
// their width; a required float that is not finite is written as 0.0, an
// optional one as null.
//
// CausalEngine, 8 members:
//
//   #  key                        JSON value                          absent
//   1  patterns                   object: pattern id -> CausalPattern refused
//   2  key_index                  object: pattern key -> pattern id   refused
//   3  temporal_budget_mode       CausalTemporalBudgetMode name       refused
//   4  evidence_mode              CausalEvidenceMode name             refused
//   5  last_corpus_fingerprint    integer, u64                        0
//   6  last_edges_found           integer, u64                        0
//   7  last_explicit_edges_found  integer, u64                        0
//   8  last_temporal_edges_found  integer, u64                        0
//
// CausalPattern, 25 members:
//
//   #   key                                 JSON value            absent
//   1   id                                  string                refused
//   2   key                                 string                refused
//   3   namespace                           string                refused
//   4   cause_belief_ids                    array of strings      refused
//   5   effect_belief_ids                   array of strings      refused
//   6   cause_record_ids                    array of strings      refused
//   7   effect_record_ids                   array of strings      refused
//   8   support_count                       integer, u64          refused
//   9   explicit_support_count              integer, u64          0
//   10  temporal_support_count              integer, u64          0
//   11  unique_temporal_windows             integer, u64          0
//   12  effect_record_signature_variants    integer, u64          0
//   13  positive_effect_signals             integer, u64          0
//   14  negative_effect_signals             integer, u64          0
//   15  counterevidence                     integer, u64          refused
//   16  explicit_support_total_for_cause    integer, u64          0
//   17  explicit_effect_variants_for_cause  integer, u64          0
//   18  transition_lift                     number, f32           refused
//   19  temporal_consistency                number, f32           refused
//   20  outcome_stability                   number, f32           refused
//   21  causal_strength                     number, f32           refused
//   22  state                               CausalState name      refused
//   23  invalidation_reason                 string or null        none
//   24  invalidated_at                      number (f64, Unix     none
//                                           seconds) or null
//   25  last_updated                        number, f64           refused
//
// Enumerations, as JSON strings of exactly these names:
//   CausalState               Candidate, Stable, Rejected, Invalidated
//   CausalTemporalBudgetMode  ExhaustiveCapped, NearbySuccessors
//   CausalEvidenceMode        StrictRepeatedWindows, TemporalClusterRecovery,
//                             ExplicitTrusted
//
// Not stored: the engine's copy of the co-recall graph, which the
// maintenance cycle installs before each causal phase. The two modes and the
// four counters are carried through unchanged: the temporal budget mode is
// set by nothing but this file.
//
// Reading: the first missing required member in table order fails the file
// ("missing field `counterevidence`"), a member given twice in one object too;
// members of other names are skipped at both levels. Enumerations are exact
// names or {"Name":null}. A negative or fractional count is refused, and so is
// null in every number but `invalidated_at`. A pattern id or key that repeats
// in its map keeps the later entry; a pattern's "id" is not compared with its
// map key. Either object may also be a JSON array of its values in table
// order, which may stop early only where every later member has a default.
#pragma once

#include <array>
#include <string_view>

#include "base/status.h"
#include "cognitive/causal_layer.h"
#include "model/json_struct.h"

namespace vesk {

inline constexpr std::array<std::string_view, 4> kCausalStateNames = {"Candidate", "Stable", "Rejected",
                                                                      "Invalidated"};
inline constexpr std::array<std::string_view, 2> kCausalTemporalBudgetModeNames = {"ExhaustiveCapped",
                                                                                   "NearbySuccessors"};
inline constexpr std::array<std::string_view, 3> kCausalEvidenceModeNames = {
    "StrictRepeatedWindows", "TemporalClusterRecovery", "ExplicitTrusted"};

template <>
struct JsonCodec<CausalState> : JsonIndexedEnumCodec<CausalState, kCausalStateNames> {};
template <>
struct JsonCodec<CausalTemporalBudgetMode>
    : JsonIndexedEnumCodec<CausalTemporalBudgetMode, kCausalTemporalBudgetModeNames> {};
template <>
struct JsonCodec<CausalEvidenceMode> : JsonIndexedEnumCodec<CausalEvidenceMode, kCausalEvidenceModeNames> {};

template <>
struct JsonCodec<CausalPattern> : JsonStructCodec<CausalPattern> {
  static const JsonStruct<CausalPattern>& fields();
};
template <>
struct JsonCodec<CausalEngine> : JsonStructCodec<CausalEngine> {
  static const JsonStruct<CausalEngine>& fields();
};

// The whole payload as the object above; errors carry " at line {} column {}".
Result<CausalEngine> parse_causal_engine(std::string_view payload);

}  // namespace vesk
