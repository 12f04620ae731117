// Outcome receipts: how one attempt at a task turned out, which recalled
// records were offered and which were used. Kept only in the audit journal,
// inside the "outcome_receipt" action.
//
// The outcome is "helpful", "unhelpful" or "inconclusive" (also read from
// {"helpful":null}). A candidate verdict is {"record_id":..,"outcome":..}
// (or [record_id, outcome]). A receipt is written with these keys in order:
//
//   schema_version recorded always (u16)
//   receipt_id task_id lineage_id attempt_id            always
//   candidate_record_ids selected_record_ids outcome    always
//   supersedes_receipt_id                               always, null when none
//   namespace provenance recorded_at_ms                 always
//   logging_policy_id                                   only when present
//   selected_set_probability_bps                        only when present (u16)
//   candidate_verdicts                                  only when not empty
//   verifier_id                                         only when present
//   integrity_digest                                    always
//
// Fields logging_policy_id to verifier_id are the evaluation evidence. Reading
// takes members in any order; the optional ones (and supersedes_receipt_id)
// may be absent or null; candidate_verdicts may be absent (empty); every
// other member is required. What the values mean, and which schema versions
// go with evidence, is decided where receipts are captured and loaded.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audit/outcome_kind.h"
#include "model/json_struct.h"

namespace vesk {

std::string_view outcome_kind_name(OutcomeKind v);

template <>
struct JsonCodec<OutcomeKind> {
  static bool read(JsonReader& r, OutcomeKind& v);
  static void write(JsonWriter& w, const OutcomeKind& v) { w.string(outcome_kind_name(v)); }
};

struct CandidateOutcomeVerdict {
  std::string record_id;
  OutcomeKind outcome = OutcomeKind::Helpful;

  bool operator==(const CandidateOutcomeVerdict&) const = default;
};

template <>
struct JsonCodec<CandidateOutcomeVerdict> : JsonStructCodec<CandidateOutcomeVerdict> {
  static const JsonStruct<CandidateOutcomeVerdict>& fields();
};

// The optional evidence of a receipt for offline policy evaluation: the
// receipt's members of the same names. `selected_set_probability_bps` is the
// logging policy's probability of the whole selected set in basis points
// (10000 is certainty).
struct OutcomeEvaluationEvidence {
  std::optional<std::string> logging_policy_id;
  std::optional<uint16_t> selected_set_probability_bps;
  std::vector<CandidateOutcomeVerdict> candidate_verdicts;
  std::optional<std::string> verifier_id;

  bool operator==(const OutcomeEvaluationEvidence&) const = default;
};

struct OutcomeReceipt {
  uint16_t schema_version = 1;
  std::string receipt_id;
  std::string task_id;
  std::string lineage_id;
  std::string attempt_id;
  std::vector<std::string> candidate_record_ids;
  std::vector<std::string> selected_record_ids;
  OutcomeKind outcome = OutcomeKind::Helpful;
  std::optional<std::string> supersedes_receipt_id;
  std::string namespace_;
  std::vector<std::string> provenance;
  uint64_t recorded_at_ms = 0;
  std::optional<std::string> logging_policy_id;
  std::optional<uint16_t> selected_set_probability_bps;
  std::vector<CandidateOutcomeVerdict> candidate_verdicts;
  std::optional<std::string> verifier_id;
  std::string integrity_digest;

  bool operator==(const OutcomeReceipt&) const = default;
};

// The receipt's evaluation evidence (its members logging_policy_id to
// verifier_id, copied), or none when all four are empty.
std::optional<OutcomeEvaluationEvidence> outcome_receipt_evaluation_evidence(const OutcomeReceipt& receipt);

template <>
struct JsonCodec<OutcomeReceipt> {
  static const JsonStruct<OutcomeReceipt>& fields();
  static bool read(JsonReader& r, OutcomeReceipt& v) { return json_read_struct(r, v, fields()); }
  static void write(JsonWriter& w, const OutcomeReceipt& v);
};

// The verdict list as a JSON array, in list order (the form the integrity
// digest also covers).
void serialize_candidate_verdicts(JsonWriter& w, std::span<const CandidateOutcomeVerdict> verdicts);
// The receipt members "candidate_verdicts" and "selected_set_probability_bps"
// (key and value) inside an open receipt object.
void serialize_candidate_verdicts_field(JsonWriter& w, std::span<const CandidateOutcomeVerdict> verdicts);
void serialize_selection_probability_field(JsonWriter& w, uint16_t basis_points);

}  // namespace vesk
