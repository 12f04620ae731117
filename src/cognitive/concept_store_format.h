// The concept layer file "concepts.cog": one ConceptEngine.
//
// One JSON object, compact and sealed like every layer file
// (layer_file_save.h, sealed_format.h); members in the order of these
// tables, maps in their in-memory order (per-process random), lists in their
// order. Floats are written in the shortest form that reads back to the same
// value of their width; one that is not finite is written as 0.0.
//
// ConceptEngine, 6 members:
//
//   #  key              JSON value                            absent
//   1  concepts         object: concept id -> ConceptCandidate  refused
//   2  key_index        object: text -> text, as the concept     refused
//                       layer keeps it (concept key -> id)
//   3  seed_mode        ConceptSeedMode name                  "Standard"
//   4  similarity_mode  ConceptSimilarityMode name            "SdrTanimoto"
//   5  partition_mode   ConceptPartitionMode name             "Standard"
//   6  union_mode       ConceptUnionMode name                 "Standard"
//
// Note the default of similarity_mode: a file without it loads with
// "SdrTanimoto", while a fresh engine (a new store, or any fallback) starts
// with "CanonicalFeature".
//
// ConceptCandidate, 16 members, all required:
//
//   #   key                JSON value
//   1   id                 string: the concept id
//   2   key                string: the concept key
//   3   namespace          string
//   4   semantic_type      string
//   5   belief_ids         array of strings
//   6   record_ids         array of strings
//   7   core_terms         array of strings
//   8   shell_terms        array of strings
//   9   tags               array of strings
//   10  support_mass       number, f32
//   11  confidence         number, f32
//   12  stability          number, f32
//   13  cohesion           number, f32
//   14  abstraction_score  number, f32
//   15  state              ConceptState name
//   16  last_updated       number, f64: Unix seconds
//
// Enumerations, as JSON strings of exactly these names:
//   ConceptSeedMode        Standard, Warmup, Relaxed
//   ConceptSimilarityMode  SdrTanimoto, CanonicalFeature
//   ConceptPartitionMode   Standard, NamespaceOnly
//   ConceptUnionMode       Standard, SingleTagFactDecisionBridge
//   ConceptState           Candidate, Stable, Rejected
//
// Reading: the first missing required member in table order fails the file
// ("missing field `tags`"), a member given twice in one object too
// ("duplicate field `id`"); members of other names are skipped at both
// levels. An enumeration is its exact name or {"Name":null} ("unknown variant
// `stable`, expected one of `Candidate`, `Stable`, `Rejected`" otherwise);
// null is refused everywhere. A concept id or key that repeats in its map
// keeps the later entry; a candidate's "id" is not compared with its map key.
// Either object may also be a JSON array of its values in table order, which
// may stop early only before members with a default.
#pragma once

#include <array>
#include <string_view>

#include "base/status.h"
#include "cognitive/concept_layer.h"
#include "model/json_struct.h"

namespace vesk {

inline constexpr std::array<std::string_view, 3> kConceptSeedModeNames = {"Standard", "Warmup", "Relaxed"};
inline constexpr std::array<std::string_view, 2> kConceptSimilarityModeNames = {"SdrTanimoto", "CanonicalFeature"};
inline constexpr std::array<std::string_view, 2> kConceptPartitionModeNames = {"Standard", "NamespaceOnly"};
inline constexpr std::array<std::string_view, 2> kConceptUnionModeNames = {"Standard",
                                                                          "SingleTagFactDecisionBridge"};
inline constexpr std::array<std::string_view, 3> kConceptStateNames = {"Candidate", "Stable", "Rejected"};

template <>
struct JsonCodec<ConceptSeedMode> : JsonIndexedEnumCodec<ConceptSeedMode, kConceptSeedModeNames> {};
template <>
struct JsonCodec<ConceptSimilarityMode> : JsonIndexedEnumCodec<ConceptSimilarityMode, kConceptSimilarityModeNames> {
};
template <>
struct JsonCodec<ConceptPartitionMode> : JsonIndexedEnumCodec<ConceptPartitionMode, kConceptPartitionModeNames> {};
template <>
struct JsonCodec<ConceptUnionMode> : JsonIndexedEnumCodec<ConceptUnionMode, kConceptUnionModeNames> {};
template <>
struct JsonCodec<ConceptState> : JsonIndexedEnumCodec<ConceptState, kConceptStateNames> {};

template <>
struct JsonCodec<ConceptCandidate> : JsonStructCodec<ConceptCandidate> {
  static const JsonStruct<ConceptCandidate>& fields();
};
template <>
struct JsonCodec<ConceptEngine> : JsonStructCodec<ConceptEngine> {
  static const JsonStruct<ConceptEngine>& fields();
};

// The whole payload as the object above, absent modes at the file's defaults;
// errors carry " at line {} column {}".
Result<ConceptEngine> parse_concept_engine(std::string_view payload);

}  // namespace vesk
