#include "audit/outcome_receipt_validation.h"

#include <algorithm>
#include <unordered_set>

#include "model/unicode_text.h"

namespace vesk {
namespace {

bool is_control_character(char32_t c) { return c <= 0x1F || (c >= 0x7F && c <= 0x9F); }

// Well formed: not blank, short enough, no control character.
bool is_receipt_text(std::string_view value) {
  if (value.size() > kReceiptTextMaxBytes || trim_unicode_white_space(value).empty()) return false;
  for (size_t i = 0; i < value.size();) {
    if (is_control_character(next_code_point(value, i))) return false;
  }
  return true;
}

bool contains(std::span<const std::string> ids, std::string_view id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace

Result<OutcomeKind> parse_outcome_kind(std::string_view text) {
  std::string word(trim_unicode_white_space(text));
  std::transform(word.begin(), word.end(), word.begin(), ascii_lower);
  if (word == "helpful" || word == "success" || word == "passed") return OutcomeKind::Helpful;
  if (word == "unhelpful" || word == "failure" || word == "failed") return OutcomeKind::Unhelpful;
  if (word == "inconclusive" || word == "unknown") return OutcomeKind::Inconclusive;
  return Status::Value("invalid outcome '" + std::string(text) + "'; expected helpful, unhelpful, or inconclusive");
}

Status check_receipt_text_field(std::string_view field, std::string_view value) {
  if (is_receipt_text(value)) return Status::Ok();
  return Status::Runtime(std::string(field) + " must be non-empty, control-free, and at most " +
                         std::to_string(kReceiptTextMaxBytes) + " bytes");
}

Status check_receipt_id_list(std::string_view field, std::span<const std::string> ids) {
  for (const std::string& id : ids) VESK_RETURN_IF_ERROR(check_receipt_text_field(field, id));
  std::unordered_set<std::string_view> seen;
  for (const std::string& id : ids) {
    if (!seen.insert(id).second) return Status::Runtime(std::string(field) + " must not contain duplicates");
  }
  return Status::Ok();
}

Status validate_outcome_receipt_input(const OutcomeReceiptInput& input) {
  VESK_RETURN_IF_ERROR(check_receipt_text_field("task_id", input.task_id));
  VESK_RETURN_IF_ERROR(check_receipt_text_field("lineage_id", input.lineage_id));
  VESK_RETURN_IF_ERROR(check_receipt_text_field("attempt_id", input.attempt_id));
  VESK_RETURN_IF_ERROR(check_receipt_text_field("namespace", input.namespace_));
  const std::vector<std::string>& candidates = input.candidate_record_ids;
  if (candidates.empty() || candidates.size() > kReceiptMaxCandidates) {
    return Status::Runtime("candidate_record_ids must contain 1..=" + std::to_string(kReceiptMaxCandidates) +
                           " values");
  }
  VESK_RETURN_IF_ERROR(check_receipt_id_list("candidate_record_ids", candidates));
  VESK_RETURN_IF_ERROR(check_receipt_id_list("selected_record_ids", input.selected_record_ids));
  for (const std::string& id : input.selected_record_ids) {
    if (!contains(candidates, id)) return Status::Runtime("selected_record_ids must be a subset of candidate_record_ids");
  }
  if (input.outcome != OutcomeKind::Inconclusive && input.selected_record_ids.empty()) {
    return Status::Runtime("helpful and unhelpful outcomes require selected_record_ids");
  }
  if (input.supersedes_receipt_id) {
    VESK_RETURN_IF_ERROR(check_receipt_text_field("supersedes_receipt_id", *input.supersedes_receipt_id));
  }
  if (input.provenance.size() > kReceiptMaxProvenanceTokens) {
    return Status::Runtime("provenance may contain at most " + std::to_string(kReceiptMaxProvenanceTokens) +
                           " tokens");
  }
  for (const std::string& token : input.provenance) {
    if (!is_receipt_text(token)) {
      return Status::Runtime("provenance tokens must be non-empty, control-free, and at most " +
                             std::to_string(kReceiptTextMaxBytes) + " bytes");
    }
  }
  if (input.evidence) return validate_outcome_evaluation_evidence(*input.evidence, candidates);
  return Status::Ok();
}

Status validate_outcome_evaluation_evidence(const OutcomeEvaluationEvidence& evidence,
                                            std::span<const std::string> candidate_record_ids) {
  const bool has_policy = evidence.logging_policy_id.has_value();
  const bool has_probability = evidence.selected_set_probability_bps.has_value();
  const bool has_verdicts = !evidence.candidate_verdicts.empty();
  if (!has_policy && !has_probability && !has_verdicts && !evidence.verifier_id) {
    return Status::Runtime("outcome evaluation evidence must contain propensity or verifier evidence");
  }
  if (has_policy != has_probability) {
    return Status::Runtime("logging_policy_id and selected_set_probability_bps must be supplied together");
  }
  if (has_policy) {
    VESK_RETURN_IF_ERROR(check_receipt_text_field("logging_policy_id", *evidence.logging_policy_id));
    const uint16_t bps = *evidence.selected_set_probability_bps;
    if (bps < 1 || bps > kReceiptMaxProbabilityBps) {
      return Status::Runtime("selected_set_probability_bps must be within 1..=" +
                             std::to_string(kReceiptMaxProbabilityBps));
    }
  }
  if (!has_verdicts) {
    if (evidence.verifier_id) return Status::Runtime("verifier_id requires candidate_verdicts");
    return Status::Ok();
  }
  if (!evidence.verifier_id) return Status::Runtime("candidate_verdicts require verifier_id");
  VESK_RETURN_IF_ERROR(check_receipt_text_field("verifier_id", *evidence.verifier_id));
  std::vector<std::string> judged;
  judged.reserve(evidence.candidate_verdicts.size());
  for (const CandidateOutcomeVerdict& v : evidence.candidate_verdicts) judged.push_back(v.record_id);
  VESK_RETURN_IF_ERROR(check_receipt_id_list("candidate_verdict record IDs", judged));
  for (const std::string& id : judged) {
    if (!contains(candidate_record_ids, id)) {
      return Status::Runtime("candidate verdict record IDs must be a subset of candidate_record_ids");
    }
  }
  return Status::Ok();
}

}  // namespace vesk
