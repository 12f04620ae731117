// Applicability: whether a record can be used in the agent's current state.
//
// A record declares requirements as metadata entries "applicability.require.
// <field>" (the prefix exact and case-sensitive; field and expected value
// trimmed of White_Space), one expected value per field. The caller gives its
// current state as field -> observed values; field names are trimmed (case
// kept), values trimmed, blanks dropped, fully lower-cased, kept once each and
// sorted. A requirement matches when its field has exactly one value equal to
// the expected one with ASCII letters compared without case.
//
// Decision, first that applies: a mismatch -> "reject"
// (hard_requirement_mismatch only); an invalid requirement (blank field or
// value) -> "unknown" (invalid_declared_requirement, then
// missing_current_state and conflicting_current_state when they occur); a
// missing or conflicting field -> "unknown" (those two reasons); else "use"
// (all_requirements_satisfied). No requirement at all: "unknown"
// (no_declared_requirements). Every list is filled whatever the decision and
// ordered by field name.
//
// JSON form (the caller's dict): {"record_id", "decision", "requirements_total",
// "matched_fields", "missing_fields", "invalid_requirement_fields", "reasons",
// "conflicting_fields": [{"field", "values"}], "mismatches": [{"field",
// "expected", "actual"}]}
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "model/json_struct.h"
#include "model/record.h"

namespace vesk {

inline constexpr std::string_view kApplicabilityRequirePrefix = "applicability.require.";

using CurrentState = std::map<std::string, std::vector<std::string>>;

struct ApplicabilityConflict {
  std::string field;
  std::vector<std::string> values;
  bool operator==(const ApplicabilityConflict&) const = default;
};

struct ApplicabilityMismatch {
  std::string field;
  std::string expected;
  std::vector<std::string> actual;
  bool operator==(const ApplicabilityMismatch&) const = default;
};

struct ApplicabilityDecision {
  std::string record_id;
  std::string decision;  // "use", "reject" or "unknown"
  uint64_t requirements_total = 0;
  std::vector<std::string> matched_fields;
  std::vector<std::string> missing_fields;
  std::vector<std::string> invalid_requirement_fields;
  std::vector<std::string> reasons;
  std::vector<ApplicabilityConflict> conflicting_fields;
  std::vector<ApplicabilityMismatch> mismatches;
  bool operator==(const ApplicabilityDecision&) const = default;
};

template <>
struct JsonCodec<ApplicabilityConflict> : JsonStructCodec<ApplicabilityConflict> {
  static const JsonStruct<ApplicabilityConflict>& fields();
};
template <>
struct JsonCodec<ApplicabilityMismatch> : JsonStructCodec<ApplicabilityMismatch> {
  static const JsonStruct<ApplicabilityMismatch>& fields();
};
template <>
struct JsonCodec<ApplicabilityDecision> : JsonStructCodec<ApplicabilityDecision> {
  static const JsonStruct<ApplicabilityDecision>& fields();
};

// Pure: reads its two arguments only, never fails.
ApplicabilityDecision evaluate_requirements(const Record& record, const CurrentState& current_state);

}  // namespace vesk
