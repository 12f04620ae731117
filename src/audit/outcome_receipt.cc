#include "audit/outcome_receipt.h"

#include <array>

namespace vesk {

namespace {

constexpr std::array<std::string_view, 3> kOutcomeNames = {"helpful", "unhelpful", "inconclusive"};

}  // namespace

std::string_view outcome_kind_name(OutcomeKind v) { return kOutcomeNames.at(static_cast<size_t>(v)); }

bool JsonCodec<OutcomeKind>::read(JsonReader& r, OutcomeKind& v) {
  size_t i = 0;
  if (!r.read_unit_variant(kOutcomeNames, i)) return false;
  v = static_cast<OutcomeKind>(i);
  return true;
}

const JsonStruct<CandidateOutcomeVerdict>& JsonCodec<CandidateOutcomeVerdict>::fields() {
  static const JsonStruct<CandidateOutcomeVerdict> s("struct CandidateOutcomeVerdict",
                                                     {
                                                         json_field<&CandidateOutcomeVerdict::record_id>("record_id"),
                                                         json_field<&CandidateOutcomeVerdict::outcome>("outcome"),
                                                     });
  return s;
}

const JsonStruct<OutcomeReceipt>& JsonCodec<OutcomeReceipt>::fields() {
  static const JsonStruct<OutcomeReceipt> s(
      "struct OutcomeReceipt",
      {
          json_field<&OutcomeReceipt::schema_version>("schema_version"),
          json_field<&OutcomeReceipt::receipt_id>("receipt_id"),
          json_field<&OutcomeReceipt::task_id>("task_id"),
          json_field<&OutcomeReceipt::lineage_id>("lineage_id"),
          json_field<&OutcomeReceipt::attempt_id>("attempt_id"),
          json_field<&OutcomeReceipt::candidate_record_ids>("candidate_record_ids"),
          json_field<&OutcomeReceipt::selected_record_ids>("selected_record_ids"),
          json_field<&OutcomeReceipt::outcome>("outcome"),
          json_field<&OutcomeReceipt::supersedes_receipt_id>("supersedes_receipt_id"),
          json_field<&OutcomeReceipt::namespace_>("namespace"),
          json_field<&OutcomeReceipt::provenance>("provenance"),
          json_field<&OutcomeReceipt::recorded_at_ms>("recorded_at_ms"),
          json_field<&OutcomeReceipt::logging_policy_id>("logging_policy_id"),
          json_field<&OutcomeReceipt::selected_set_probability_bps>("selected_set_probability_bps"),
          json_field<&OutcomeReceipt::candidate_verdicts>("candidate_verdicts", kJsonDefault),
          json_field<&OutcomeReceipt::verifier_id>("verifier_id"),
          json_field<&OutcomeReceipt::integrity_digest>("integrity_digest"),
      });
  return s;
}

std::optional<OutcomeEvaluationEvidence> outcome_receipt_evaluation_evidence(const OutcomeReceipt& receipt) {
  if (!receipt.logging_policy_id && !receipt.selected_set_probability_bps && receipt.candidate_verdicts.empty() &&
      !receipt.verifier_id) {
    return std::nullopt;
  }
  return OutcomeEvaluationEvidence{receipt.logging_policy_id, receipt.selected_set_probability_bps,
                                   receipt.candidate_verdicts, receipt.verifier_id};
}

void JsonCodec<OutcomeReceipt>::write(JsonWriter& w, const OutcomeReceipt& v) {
  w.begin_object();
  w.key("schema_version");
  w.u64(v.schema_version);
  w.key("receipt_id");
  w.string(v.receipt_id);
  w.key("task_id");
  w.string(v.task_id);
  w.key("lineage_id");
  w.string(v.lineage_id);
  w.key("attempt_id");
  w.string(v.attempt_id);
  w.key("candidate_record_ids");
  json_write(w, v.candidate_record_ids);
  w.key("selected_record_ids");
  json_write(w, v.selected_record_ids);
  w.key("outcome");
  json_write(w, v.outcome);
  w.key("supersedes_receipt_id");
  json_write(w, v.supersedes_receipt_id);
  w.key("namespace");
  w.string(v.namespace_);
  w.key("provenance");
  json_write(w, v.provenance);
  w.key("recorded_at_ms");
  w.u64(v.recorded_at_ms);
  if (v.logging_policy_id) {
    w.key("logging_policy_id");
    w.string(*v.logging_policy_id);
  }
  if (v.selected_set_probability_bps) serialize_selection_probability_field(w, *v.selected_set_probability_bps);
  if (!v.candidate_verdicts.empty()) serialize_candidate_verdicts_field(w, v.candidate_verdicts);
  if (v.verifier_id) {
    w.key("verifier_id");
    w.string(*v.verifier_id);
  }
  w.key("integrity_digest");
  w.string(v.integrity_digest);
  w.end_object();
}

void serialize_candidate_verdicts(JsonWriter& w, std::span<const CandidateOutcomeVerdict> verdicts) {
  w.begin_array();
  for (const CandidateOutcomeVerdict& v : verdicts) json_write(w, v);
  w.end_array();
}

void serialize_candidate_verdicts_field(JsonWriter& w, std::span<const CandidateOutcomeVerdict> verdicts) {
  w.key("candidate_verdicts");
  serialize_candidate_verdicts(w, verdicts);
}

void serialize_selection_probability_field(JsonWriter& w, uint16_t basis_points) {
  w.key("selected_set_probability_bps");
  w.u64(basis_points);
}

}  // namespace vesk
