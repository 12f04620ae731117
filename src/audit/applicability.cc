#include "audit/applicability.h"

#include <algorithm>
#include <utility>

#include "model/unicode_text.h"

namespace vesk {
namespace {

bool equal_ignoring_ascii_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return ascii_lower(x) == ascii_lower(y); });
}

}  // namespace

const JsonStruct<ApplicabilityConflict>& JsonCodec<ApplicabilityConflict>::fields() {
  static const JsonStruct<ApplicabilityConflict> s("struct ApplicabilityConflict",
                                                   {
                                                       json_field<&ApplicabilityConflict::field>("field"),
                                                       json_field<&ApplicabilityConflict::values>("values"),
                                                   });
  return s;
}

const JsonStruct<ApplicabilityMismatch>& JsonCodec<ApplicabilityMismatch>::fields() {
  static const JsonStruct<ApplicabilityMismatch> s("struct ApplicabilityMismatch",
                                                   {
                                                       json_field<&ApplicabilityMismatch::field>("field"),
                                                       json_field<&ApplicabilityMismatch::expected>("expected"),
                                                       json_field<&ApplicabilityMismatch::actual>("actual"),
                                                   });
  return s;
}

const JsonStruct<ApplicabilityDecision>& JsonCodec<ApplicabilityDecision>::fields() {
  using D = ApplicabilityDecision;
  static const JsonStruct<D> s("struct ApplicabilityDecision",
                               {
                                   json_field<&D::record_id>("record_id"),
                                   json_field<&D::decision>("decision"),
                                   json_field<&D::requirements_total>("requirements_total"),
                                   json_field<&D::matched_fields>("matched_fields"),
                                   json_field<&D::missing_fields>("missing_fields"),
                                   json_field<&D::invalid_requirement_fields>("invalid_requirement_fields"),
                                   json_field<&D::reasons>("reasons"),
                                   json_field<&D::conflicting_fields>("conflicting_fields"),
                                   json_field<&D::mismatches>("mismatches"),
                               });
  return s;
}

ApplicabilityDecision evaluate_requirements(const Record& record, const CurrentState& current_state) {
  ApplicabilityDecision d;
  d.record_id = record.id;

  // Field -> expected value, ordered by field name. Of two keys naming one
  // field after trimming, the first met stays.
  std::map<std::string, std::string> required;
  for (const auto& [key, value] : record.metadata) {
    if (!key.starts_with(kApplicabilityRequirePrefix)) continue;
    std::string field(trim_unicode_white_space(std::string_view(key).substr(kApplicabilityRequirePrefix.size())));
    required.try_emplace(std::move(field), std::string(trim_unicode_white_space(value)));
  }
  d.requirements_total = required.size();
  if (required.empty()) {
    d.decision = "unknown";
    d.reasons = {"no_declared_requirements"};
    return d;
  }

  std::map<std::string, std::vector<std::string>> state;
  for (const auto& [field, values] : current_state) {
    std::vector<std::string> normal;
    for (const std::string& v : values) {
      std::string_view t = trim_unicode_white_space(v);
      if (!t.empty()) normal.push_back(to_lower_full(t));
    }
    std::sort(normal.begin(), normal.end());
    normal.erase(std::unique(normal.begin(), normal.end()), normal.end());
    state.try_emplace(std::string(trim_unicode_white_space(field)), std::move(normal));
  }

  for (const auto& [field, expected] : required) {
    if (field.empty() || expected.empty()) {
      d.invalid_requirement_fields.push_back(field);
      continue;
    }
    auto it = state.find(field);
    if (it == state.end() || it->second.empty()) {
      d.missing_fields.push_back(field);
    } else if (it->second.size() > 1) {
      d.conflicting_fields.push_back({field, it->second});
    } else if (equal_ignoring_ascii_case(expected, it->second.front())) {
      d.matched_fields.push_back(field);
    } else {
      d.mismatches.push_back({field, expected, it->second});
    }
  }

  const bool missing = !d.missing_fields.empty();
  const bool conflicting = !d.conflicting_fields.empty();
  if (!d.mismatches.empty()) {
    d.decision = "reject";
    d.reasons = {"hard_requirement_mismatch"};
    return d;
  }
  d.decision = "unknown";
  if (!d.invalid_requirement_fields.empty()) d.reasons.push_back("invalid_declared_requirement");
  if (missing) d.reasons.push_back("missing_current_state");
  if (conflicting) d.reasons.push_back("conflicting_current_state");
  if (d.reasons.empty()) {
    d.decision = "use";
    d.reasons = {"all_requirements_satisfied"};
  }
  return d;
}

}  // namespace vesk
