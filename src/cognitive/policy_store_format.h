// The policy layer file "policies.cog": one PolicyEngine.
//
// One JSON object, compact and sealed like every layer file
// (layer_file_save.h, sealed_format.h); members in the order of these
// tables, maps in their in-memory order (per-process random), lists in their
// order. Floats are written in the shortest form that reads back to the same
// value of their width; one that is not finite is written as 0.0. Unlike the
// causal file, this one carries no settings of its engine.
//
// PolicyEngine, 2 members, both required:
//
//   #  key        JSON value
//   1  hints      object: hint id -> PolicyHint
//   2  key_index  object: hint key -> hint id
//
// PolicyHint, 18 members:
//
//   #   key                    JSON value                      absent
//   1   id                     string                          refused
//   2   key                    string                          refused
//   3   namespace              string                          refused
//   4   domain                 string                          refused
//   5   action_kind            PolicyActionKind name           refused
//   6   recommendation         string                          refused
//   7   trigger_causal_ids     array of strings                refused
//   8   trigger_concept_ids    array of strings                refused
//   9   trigger_belief_ids     array of strings                refused
//   10  supporting_record_ids  array of strings                refused
//   11  cause_record_ids       array of strings                refused
//   12  confidence             number, f32                     refused
//   13  utility_score          number, f32                     refused
//   14  risk_score             number, f32                     refused
//   15  policy_strength        number, f32                     refused
//   16  state                  PolicyState name                refused
//   17  last_updated           number, f64: Unix seconds       refused
//   18  evidence_source_floor  string: the least trusted       "recorded"
//                              source type behind the hint
//
// Enumerations, as JSON strings of exactly these names:
//   PolicyActionKind  Prefer, Recommend, VerifyFirst, Avoid, Warn
//   PolicyState       Candidate, Stable, Suppressed, Rejected
//
// Reading: the first missing required member in table order fails the file
// ("missing field `key_index`"), a member given twice in one object too;
// members of other names are skipped at both levels. Enumerations are exact
// names or {"Name":null}; null is refused for every member. A hint id or key
// that repeats in its map keeps the later entry; a hint's "id" is not
// compared with its map key. Either object may also be a JSON array of its
// values in table order (a hint's may leave out the last value).
#pragma once

#include <array>
#include <string_view>

#include "base/status.h"
#include "cognitive/policy_layer.h"
#include "model/json_struct.h"

namespace vesk {

inline constexpr std::array<std::string_view, 5> kPolicyActionKindNames = {"Prefer", "Recommend", "VerifyFirst",
                                                                           "Avoid", "Warn"};
inline constexpr std::array<std::string_view, 4> kPolicyStateNames = {"Candidate", "Stable", "Suppressed",
                                                                      "Rejected"};

template <>
struct JsonCodec<PolicyActionKind> : JsonIndexedEnumCodec<PolicyActionKind, kPolicyActionKindNames> {};
template <>
struct JsonCodec<PolicyState> : JsonIndexedEnumCodec<PolicyState, kPolicyStateNames> {};

template <>
struct JsonCodec<PolicyHint> : JsonStructCodec<PolicyHint> {
  static const JsonStruct<PolicyHint>& fields();
};
template <>
struct JsonCodec<PolicyEngine> : JsonStructCodec<PolicyEngine> {
  static const JsonStruct<PolicyEngine>& fields();
};

// The whole payload as the object above; errors carry " at line {} column {}".
Result<PolicyEngine> parse_policy_engine(std::string_view payload);

}  // namespace vesk
