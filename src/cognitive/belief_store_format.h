// The belief layer file "beliefs.cog": one BeliefEngine.
//
// One JSON object, compact (no blanks, no line breaks, no newline at the end;
// layer_file_save.h), sealed as a whole when the store has a key
// (sealed_format.h). Members are written in the order of these tables, maps
// in their in-memory order (per-process random: two saves of one engine in
// two processes may differ in order, never in content). Optional members are
// always written, null when empty. Floats are written in the shortest form
// that reads back to the same value of their width; a required float that is
// not finite is written as 0.0, an optional one as null (layer_file_save.h).
//
// BeliefEngine, 7 members:
//
//   #  key                            JSON value                      absent
//   1  beliefs                        object: belief id -> Belief     refused
//   2  hypotheses                     object: hypothesis id ->        refused
//                                     Hypothesis
//   3  key_index                      object: belief key -> belief id refused
//   4  record_index                   object: record id ->            refused
//                                     hypothesis id
//   5  coarse_key_mode                CoarseKeyMode name              "Standard"
//   6  claim_similarity_override      number (f32) or null            none
//   7  embedding_similarity_override  number (f32) or null            none
//
// Belief, 13 members:
//
//   #   key             JSON value                          absent
//   1   id              string                              refused
//   2   key             string                              refused
//   3   hypothesis_ids  array of strings                    refused
//   4   winner_id       string (a hypothesis id) or null    none
//   5   state           BeliefState name                    refused
//   6   score           number, f32                         refused
//   7   confidence      number, f32                         refused
//   8   support_mass    number, f32                         refused
//   9   conflict_mass   number, f32                         refused
//   10  stability       number, f32                         refused
//   11  volatility      number, f32                         0
//   12  world_verdict   WorldVerdict name                   "EvidenceDebt"
//   13  last_updated    number, f64: Unix seconds           refused
//
// Hypothesis, 9 members, all required:
//
//   #  key                   JSON value
//   1  id                    string
//   2  belief_id             string: the belief it belongs to
//   3  prototype_record_ids  array of strings (record ids)
//   4  score                 number, f32
//   5  confidence            number, f32
//   6  support_mass          number, f32
//   7  conflict_mass         number, f32
//   8  recency               number, f32
//   9  consistency           number, f32
//
// Enumerations, as JSON strings of exactly these names:
//   BeliefState    Resolved, Unresolved, Singleton, Empty
//   WorldVerdict   Confirmed, Refuted, EvidenceDebt
//   CoarseKeyMode  Standard, TopOneTag, SemanticOnly, TagFamily,
//                  TagFamilyAdaptive, TagFamilyBackoff, TagFamilyPairBackoff,
//                  TagFamilyDenseBackoff, DualKey, NeighborhoodPool,
//                  BridgeKey, SdrTagPool
//
// Not stored: the engine's copy of the record embeddings, which the
// maintenance cycle installs before each belief phase; a loaded engine has
// none. `coarse_key_mode` and `claim_similarity_override` are set by nothing
// but this file, so a value found here stays in force through every save.
//
// Reading: a missing member marked refused fails the file with "missing field
// `stability`" (the first missing one in table order), a member given twice
// in one object with "duplicate field `score`"; members of other names are
// skipped at every level. An enumeration is its exact name or {"Name":null};
// any other text fails with "unknown variant `resolved`, expected one of
// `Resolved`, ...". null is refused for every float but the two overrides. A
// belief key or record id that repeats inside one of the four maps keeps its
// later entry. Map keys are not compared with the ids inside the values and
// no reference between the maps is checked. Any object above may also be a
// JSON array of its values in table order; values may stop early only where
// every later member has a default ("invalid length {n}, expected struct
// Belief with 13 elements" otherwise).
#pragma once

#include <array>
#include <string_view>

#include "base/status.h"
#include "cognitive/belief_layer.h"
#include "model/json_struct.h"

namespace vesk {

inline constexpr std::array<std::string_view, 4> kBeliefStateNames = {"Resolved", "Unresolved", "Singleton",
                                                                      "Empty"};
inline constexpr std::array<std::string_view, 3> kWorldVerdictNames = {"Confirmed", "Refuted", "EvidenceDebt"};
inline constexpr std::array<std::string_view, 12> kCoarseKeyModeNames = {
    "Standard",         "TopOneTag",    "SemanticOnly",          "TagFamily",
    "TagFamilyAdaptive", "TagFamilyBackoff", "TagFamilyPairBackoff", "TagFamilyDenseBackoff",
    "DualKey",          "NeighborhoodPool", "BridgeKey",          "SdrTagPool"};

template <>
struct JsonCodec<BeliefState> : JsonIndexedEnumCodec<BeliefState, kBeliefStateNames> {};
template <>
struct JsonCodec<WorldVerdict> : JsonIndexedEnumCodec<WorldVerdict, kWorldVerdictNames> {};
template <>
struct JsonCodec<CoarseKeyMode> : JsonIndexedEnumCodec<CoarseKeyMode, kCoarseKeyModeNames> {};

template <>
struct JsonCodec<Belief> : JsonStructCodec<Belief> {
  static const JsonStruct<Belief>& fields();
};
template <>
struct JsonCodec<Hypothesis> : JsonStructCodec<Hypothesis> {
  static const JsonStruct<Hypothesis>& fields();
};
template <>
struct JsonCodec<BeliefEngine> : JsonStructCodec<BeliefEngine> {
  static const JsonStruct<BeliefEngine>& fields();
};

// The whole payload as the object above; errors carry " at line {} column {}".
Result<BeliefEngine> parse_belief_engine(std::string_view payload);

}  // namespace vesk
