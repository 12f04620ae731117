// The rules every outcome receipt request must satisfy before a receipt is
// built from it, and the outcome words callers may use.
//
// Each check returns the first failure as a Runtime error with a fixed
// message naming the field as its argument is named ("task_id",
// "candidate_record_ids", "candidate_verdict record IDs"); nothing is
// changed or trimmed: a value that passes is kept exactly as given. Lengths
// are in bytes of UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audit/outcome_receipt.h"
#include "base/status.h"

namespace vesk {

// Longest text field (ids, namespace, provenance tokens), in bytes.
inline constexpr size_t kReceiptTextMaxBytes = 128;
// Candidates of one receipt: 1 to this many.
inline constexpr size_t kReceiptMaxCandidates = 64;
inline constexpr size_t kReceiptMaxProvenanceTokens = 16;
// The probability of the selected set, in basis points: 1 to this.
inline constexpr uint16_t kReceiptMaxProbabilityBps = 10000;

// A capture request: the receipt's own fields before its id, time and digest
// exist. `evidence` is absent when the caller gave none of its four parts.
struct OutcomeReceiptInput {
  std::string task_id;
  std::string lineage_id;
  std::string attempt_id;
  std::vector<std::string> candidate_record_ids;
  std::vector<std::string> selected_record_ids;
  std::string namespace_;
  std::vector<std::string> provenance;
  std::optional<std::string> supersedes_receipt_id;
  std::optional<OutcomeEvaluationEvidence> evidence;
  OutcomeKind outcome = OutcomeKind::Inconclusive;
};

// The outcome a word names, trimmed of Unicode white space and with ASCII
// letters lower-cased: "helpful", "success", "passed"; "unhelpful",
// "failure", "failed"; "inconclusive", "unknown". Any other text is a Value
// error "invalid outcome '{text}'; expected helpful, unhelpful, or
// inconclusive" quoting the text as passed.
Result<OutcomeKind> parse_outcome_kind(std::string_view text);

// Passes a value that is not blank (after trimming Unicode white space), at
// most 128 bytes long and free of control characters (U+0000 to U+001F,
// U+007F to U+009F); otherwise "{field} must be non-empty, control-free, and
// at most 128 bytes".
Status check_receipt_text_field(std::string_view field, std::string_view value);
// check_receipt_text_field on each id in order, then "{field} must not
// contain duplicates" when two ids are equal.
Status check_receipt_id_list(std::string_view field, std::span<const std::string> ids);

// The request's checks, first failure wins: the four text fields (task_id,
// lineage_id, attempt_id, namespace); 1 to 64 candidates; the two id lists;
// selected ids among the candidates; a selection unless the outcome is
// inconclusive; the superseded id; at most 16 provenance tokens, each well
// formed (an empty list passes); the evidence, when present.
Status validate_outcome_receipt_input(const OutcomeReceiptInput& input);

// The evidence's checks against the receipt's candidates, first failure
// wins: propensity (a logging policy with its probability, 1 to 10000) or
// verifier evidence (a verifier with at least one verdict) or both; the
// verifier id well formed; each candidate judged at most once, and only
// candidates. Verdicts need not cover every candidate, and their outcomes
// are free of the receipt's.
Status validate_outcome_evaluation_evidence(const OutcomeEvaluationEvidence& evidence,
                                            std::span<const std::string> candidate_record_ids);

}  // namespace vesk
