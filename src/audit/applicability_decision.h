// Applicability decisions: whether a recalled record applies to the agent's
// present situation, judged from the requirements the record declares in its
// metadata against the current state the agent gives (field name -> values).
//
// A decision is `Use` when every requirement matches, `Reject` on a hard
// mismatch and `Unknown` otherwise; the field lists say which requirement
// fell where, each in ascending byte order of the field names, and `reasons`
// names why in a few fixed words ("no_declared_requirements",
// "hard_requirement_mismatch", "invalid_declared_requirement",
// "missing_current_state", "conflicting_current_state",
// "all_requirements_satisfied").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

enum class ApplicabilityVerdict : uint8_t { Use = 0, Reject = 1, Unknown = 2 };

// "use", "reject" or "unknown".
constexpr std::string_view applicability_verdict_name(ApplicabilityVerdict v) {
  switch (v) {
    case ApplicabilityVerdict::Use: return "use";
    case ApplicabilityVerdict::Reject: return "reject";
    case ApplicabilityVerdict::Unknown: return "unknown";
  }
  return "unknown";
}

// A required field for which the current state holds two or more values.
struct ApplicabilityConflict {
  std::string field;
  std::vector<std::string> values;  // the current values, normalised

  bool operator==(const ApplicabilityConflict&) const = default;
};

// A required field whose one current value is not the expected one.
struct ApplicabilityMismatch {
  std::string field;
  std::string expected;             // as declared, trimmed, case kept
  std::vector<std::string> actual;  // the current value, normalised

  bool operator==(const ApplicabilityMismatch&) const = default;
};

struct ApplicabilityDecision {
  std::string record_id;
  ApplicabilityVerdict decision = ApplicabilityVerdict::Unknown;
  uint64_t requirements_total = 0;  // distinct declared fields
  std::vector<std::string> matched_fields;
  std::vector<std::string> missing_fields;
  std::vector<std::string> invalid_requirement_fields;
  std::vector<std::string> reasons;
  std::vector<ApplicabilityConflict> conflicting_fields;
  std::vector<ApplicabilityMismatch> mismatches;

  bool operator==(const ApplicabilityDecision&) const = default;
};

}  // namespace vesk
