#include "recall/recall_explanation.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/hex.h"
#include "model/record_access.h"
#include "model/unicode_text.h"

namespace vesk {

Result<std::string> new_recall_trace_id(Env& env) {
  unsigned char bytes[16];
  if (Status s = env.random_bytes(bytes, sizeof bytes); !s.ok()) {
    return Status::Runtime("could not retrieve random bytes for uuid: " + s.message());
  }
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // variant 10
  return "mem_" + hex_encode(std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes));
}

std::vector<std::string> rejection_reasons(const Record& record, double now, float min_strength,
                                           const std::optional<BeliefSummary>& belief) {
  std::vector<std::string> reasons;
  const auto& from = record.valid_from;
  const auto& until = record.valid_until;
  if ((from && !std::isfinite(*from)) || (until && !std::isfinite(*until))) {
    reasons.emplace_back("invalid_temporal_bounds");
  } else if (from && *from > now) {
    reasons.emplace_back("not_yet_valid");
  } else if (until && !(*until > now)) {
    reasons.emplace_back("expired");
  }
  const bool temporal = !reasons.empty();
  if (record.strength < min_strength) {
    reasons.emplace_back("below_strength_threshold");
  } else if (!temporal) {
    reasons.emplace_back("outside_top_k");
  }
  if (belief && belief->state == "resolved" && !belief->is_winning_hypothesis) {
    reasons.emplace_back("suppressed_by_belief_resolution");
  }
  return reasons;
}

CandidateTraceMap merge_candidate_traces(CandidateTraceMap wider, const CandidateTraceMap& first) {
  for (const auto& [id, trace] : first) wider.insert_or_assign(id, trace);
  return wider;
}

std::vector<RejectedCandidate> rejected_candidates(const CandidateTraceMap& traces, const StringSet& selected,
                                                   const RecordLookup& namespace_records,
                                                   const BeliefEngine& beliefs, double now, float min_strength,
                                                   DecisionSummary& summary) {
  static const AccessRequest kAnonymous;
  struct Found {
    const CandidateTrace* trace;
    const Record* record;
  };
  std::vector<Found> found;
  for (const auto& [id, trace] : traces) {
    if (selected.contains(id)) continue;
    const Record* r = namespace_records(id);
    if (!r || !(record_is_public(*r) || record_access_allowed(*r, kAnonymous).allowed)) continue;
    found.push_back({&trace, r});
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    if (score_before(a.trace->rrf_score, b.trace->rrf_score)) return true;
    if (score_before(b.trace->rrf_score, a.trace->rrf_score)) return false;
    return a.trace->record_id < b.trace->record_id;
  });

  std::vector<RejectedCandidate> out;
  out.reserve(std::min(found.size(), kMaxReportedRejections));
  for (size_t i = 0; i < found.size(); ++i) {
    const Record& r = *found[i].record;
    std::optional<BeliefSummary> belief = explain_belief_summary(beliefs, r.id);
    std::vector<std::string> reasons = rejection_reasons(r, now, min_strength, belief);
    for (const std::string& reason : reasons) ++summary.rejection_counts[reason];
    if (i >= kMaxReportedRejections) continue;
    out.push_back(RejectedCandidate{
        .record_id = r.id,
        .namespace_ = r.namespace_,
        .content_preview = std::string(first_chars(r.content, kExplainPreviewChars)),
        .reasons = std::move(reasons),
        .strength = r.strength,
        .valid_from = r.valid_from,
        .valid_until = r.valid_until,
        .belief = std::move(belief),
        .trace = make_score_trace(found[i].trace, found[i].trace->final_score),
    });
  }
  summary.rejected_count = found.size();
  summary.reported_rejected_count = out.size();
  summary.omitted_rejected_count = summary.rejected_count - summary.reported_rejected_count;
  return out;
}

}  // namespace vesk
