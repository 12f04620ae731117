// Outcome receipts: capture into the audit journal, and listing.
//
// A capture holds the destructive-mutation mutex from its checks to its
// append, so captures (and record purges) never interleave, and the audit
// journal's rewrite mutex from reading the stored receipts to appending the
// new one, so no rewrite of the audit files falls between the two. The
// record map's read lock is held only while the candidates are looked up.
// Lock order: destructive mutation, records (released), rewrite, writer.
//
// The durable journal is read only when a candidate is not in memory (a
// weak record kept out of memory at open). The receipts come from the audit
// journal's receipt index, which reads the audit files once and follows the
// journal's appends (storage/outcome_receipt_index.h).
#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "audit/outcome_receipt_integrity.h"
#include "store/vesk.h"

namespace vesk {
namespace {

Status runtime(Status s) { return s.as(ErrorKind::Runtime); }

// Whether a stored receipt is what `request` asks for. Its schema, id, time
// and digest follow from the rest or are new, so they are not compared.
bool repeats(const OutcomeReceipt& stored, const OutcomeReceiptInput& request) {
  return stored.lineage_id == request.lineage_id && stored.candidate_record_ids == request.candidate_record_ids &&
         stored.selected_record_ids == request.selected_record_ids && stored.outcome == request.outcome &&
         stored.supersedes_receipt_id == request.supersedes_receipt_id && stored.provenance == request.provenance &&
         outcome_receipt_evaluation_evidence(stored) == request.evidence;
}

}  // namespace

Result<OutcomeReceipt> Vesk::capture_outcome_receipt(const OutcomeReceiptInput& input) {
  OutcomeReceiptInput request = input;
  if (request.evidence) {
    std::stable_sort(request.evidence->candidate_verdicts.begin(), request.evidence->candidate_verdicts.end(),
                     [](const CandidateOutcomeVerdict& a, const CandidateOutcomeVerdict& b) {
                       return a.record_id < b.record_id;  // bytes, unsigned
                     });
  }
  std::lock_guard<std::mutex> serial(destructive_mutation_mu_);
  VESK_RETURN_IF_ERROR(validate_outcome_receipt_input(request));
  VESK_RETURN_IF_ERROR(runtime(validate_namespace(request.namespace_)));

  // The namespace of each candidate, from memory, else from the durable
  // journal.
  const std::vector<std::string>& candidates = request.candidate_record_ids;
  std::vector<std::optional<std::string>> namespaces(candidates.size());
  bool all_in_memory = true;
  {
    auto records = records_.records.read();
    for (size_t i = 0; i < candidates.size(); ++i) {
      if (const Record* r = records->find_value(candidates[i])) {
        namespaces[i] = r->namespace_;
      } else {
        all_in_memory = false;
      }
    }
  }
  if (!all_in_memory) {
    Result<CognitiveStore::LoadedState> durable = journal_->load_cognitive_state();
    if (!durable.ok()) return runtime(durable.status());
    for (size_t i = 0; i < candidates.size(); ++i) {
      if (namespaces[i]) continue;
      if (const Record* r = durable->records.find_value(candidates[i])) namespaces[i] = r->namespace_;
    }
  }
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (!namespaces[i]) return Status::Runtime("outcome receipt candidate record does not exist: " + candidates[i]);
    if (*namespaces[i] != request.namespace_) {
      return Status::Runtime("outcome receipt candidate " + candidates[i] + " belongs to namespace " +
                             *namespaces[i] + ", not " + request.namespace_);
    }
  }

  if (!audit_ || !audit_->enabled()) return Status::Runtime("outcome receipt capture requires the audit journal");
  std::lock_guard<std::mutex> rewrite(audit_->rewrite_mutex());
  std::optional<OutcomeReceipt> stored;
  Status refused;
  Status loaded = audit_->load_outcome_receipts([&](const OutcomeReceiptSet& receipts) {
    if (const OutcomeReceipt* prior =
            receipts.first_for_attempt(request.namespace_, request.task_id, request.attempt_id)) {
      if (repeats(*prior, request)) {
        stored = *prior;
      } else {
        refused = Status::Runtime("conflicting outcome receipt for namespace/task/attempt");
      }
      return;
    }
    if (!request.supersedes_receipt_id) return;
    // A receipt may be superseded more than once, and stays listed.
    const OutcomeReceipt* superseded = receipts.first_with_id(*request.supersedes_receipt_id);
    if (!superseded) {
      refused = Status::Runtime("superseded outcome receipt does not exist");
    } else if (superseded->namespace_ != request.namespace_ || superseded->lineage_id != request.lineage_id) {
      refused = Status::Runtime("outcome receipt supersession must stay inside namespace and lineage");
    }
  });
  VESK_RETURN_IF_ERROR(runtime(loaded));
  VESK_RETURN_IF_ERROR(refused);
  if (stored) return std::move(*stored);

  OutcomeReceipt r;
  r.schema_version = request.evidence ? 2 : 1;
  r.receipt_id = outcome_receipt_id(r.schema_version, request.namespace_, request.task_id, request.attempt_id);
  r.task_id = std::move(request.task_id);
  r.lineage_id = std::move(request.lineage_id);
  r.attempt_id = std::move(request.attempt_id);
  r.candidate_record_ids = std::move(request.candidate_record_ids);
  r.selected_record_ids = std::move(request.selected_record_ids);
  r.outcome = request.outcome;
  r.supersedes_receipt_id = std::move(request.supersedes_receipt_id);
  r.namespace_ = std::move(request.namespace_);
  r.provenance = std::move(request.provenance);
  r.recorded_at_ms = env_.now_millis();
  if (request.evidence) {
    r.logging_policy_id = std::move(request.evidence->logging_policy_id);
    r.selected_set_probability_bps = request.evidence->selected_set_probability_bps;
    r.candidate_verdicts = std::move(request.evidence->candidate_verdicts);
    r.verifier_id = std::move(request.evidence->verifier_id);
  }
  Result<std::string> digest = outcome_receipt_integrity_digest(r);
  if (!digest.ok()) return runtime(digest.status());
  r.integrity_digest = std::move(digest).value();
  VESK_RETURN_IF_ERROR(runtime(audit_->append_audit_entry(AuditAction::OutcomeReceipt{r})));
  return r;
}

Result<std::vector<OutcomeReceipt>> Vesk::outcome_receipts(std::optional<std::string_view> namespace_,
                                                           std::optional<std::string_view> lineage_id) const {
  if (!audit_ || !audit_->enabled()) return Status::Runtime("outcome receipt lookup requires the audit journal");
  std::vector<OutcomeReceipt> out;
  Status loaded = audit_->load_outcome_receipts(
      [&](const OutcomeReceiptSet& receipts) { out = receipts.list(namespace_, lineage_id); });
  if (!loaded.ok()) return runtime(loaded);
  return out;
}

}  // namespace vesk
