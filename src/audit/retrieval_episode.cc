#include "audit/retrieval_episode.h"

#include <algorithm>
#include <utility>

#include "model/unicode_text.h"

namespace vesk {
namespace {

Status refused(std::string message) { return Status::Value(std::move(message)); }

// Ascending, each once.
std::vector<std::string> sorted_set(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
  return v;
}

}  // namespace

const JsonStruct<EvidenceOpened>& JsonCodec<EvidenceOpened>::fields() {
  static const JsonStruct<EvidenceOpened> s("struct EvidenceOpened",
                                            {
                                                json_field<&EvidenceOpened::record_id>("record_id"),
                                                json_field<&EvidenceOpened::claim_id>("claim_id"),
                                                json_field<&EvidenceOpened::route>("route"),
                                                json_field<&EvidenceOpened::admission>("admission"),
                                                json_field<&EvidenceOpened::integrity_valid>("integrity_valid"),
                                                json_field<&EvidenceOpened::document_id>("document_id"),
                                                json_field<&EvidenceOpened::revision_id>("revision_id"),
                                                json_field<&EvidenceOpened::span_hash>("span_hash"),
                                                json_field<&EvidenceOpened::support_keys>("support_keys"),
                                                json_field<&EvidenceOpened::citable>("citable"),
                                                json_field<&EvidenceOpened::reason>("reason"),
                                            });
  return s;
}

const JsonStruct<EpisodeFinalization>& JsonCodec<EpisodeFinalization>::fields() {
  using F = EpisodeFinalization;
  static const JsonStruct<F> s("struct EpisodeFinalization",
                               {
                                   json_field<&F::episode_id>("episode_id"),
                                   json_field<&F::decision>("decision"),
                                   json_field<&F::answer_permitted>("answer_permitted"),
                                   json_field<&F::reasons>("reasons"),
                                   json_field<&F::citations>("citations"),
                                   json_field<&F::opened_record_ids>("opened_record_ids"),
                                   json_field<&F::unsupported_claim_keys>("unsupported_claim_keys"),
                                   json_field<&F::unused_opened_record_ids>("unused_opened_record_ids"),
                                   json_field<&F::all_citations_opened>("all_citations_opened"),
                                   json_field<&F::all_citations_citable>("all_citations_citable"),
                                   json_field<&F::all_claims_supported>("all_claims_supported"),
                               });
  return s;
}

std::string normalize_evidence_key(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool pending_space = false;
  size_t i = 0;
  while (i < text.size()) {
    const size_t start = i;
    const char32_t c = next_code_point(text, i);
    if (is_unicode_white_space(c)) {
      pending_space = !out.empty();
      continue;
    }
    if (pending_space) out += ' ';
    pending_space = false;
    for (size_t j = start; j < i; ++j) out += ascii_lower(text[j]);
  }
  return out;
}

Result<std::set<MemoryRoute>> episode_routes(const std::optional<std::vector<std::string>>& routes,
                                             std::string_view query) {
  std::set<MemoryRoute> out;
  if (routes) {
    for (const std::string& name : *routes) {
      auto route = parse_memory_route(name);
      if (!route) return refused("invalid memory route '" + name + "'");
      out.insert(*route);
    }
  }
  if (trim_unicode_white_space(query).empty()) return refused("retrieval episode query must not be empty");
  if (!routes) out = {MemoryRoute::Timeline, MemoryRoute::Graph, MemoryRoute::Documentary};
  return out;
}

Result<EvidenceOpened> episode_open_evidence(RetrievalEpisode& episode, const EvidenceOpening& o) {
  const auto route = parse_memory_route(o.route);
  if (!route) return refused("invalid memory route");
  const auto status = parse_verification_status(o.verification_status);
  if (!status) return refused("invalid verification_status");
  const auto permission = parse_answer_permission(o.answer_permission);
  if (!permission) return refused("invalid answer_permission");

  // The source is built from the registered bytes, so they match it: the cut
  // needs no second digest of the whole document.
  const EvidenceSource source = evidence_source_new(o.document_id, o.revision_id, o.uri, o.registered_source_bytes);
  auto cut = cut_registered_span(source, o.registered_source_bytes, o.byte_start, o.byte_end);
  if (const SpanCutError* e = std::get_if<SpanCutError>(&cut)) return refused(std::string(span_cut_error_text(*e)));
  const EvidenceSpan& span = std::get<EvidenceSpan>(cut);

  std::string record_id(trim_unicode_white_space(o.record_id));
  if (!episode.candidate_ids.contains(record_id)) {
    return refused("record '" + record_id + "' was not a retrieval candidate");
  }
  if (!episode.routes.contains(*route)) {
    return refused("route '" + std::string(memory_route_name(*route)) +
                   "' is not enabled for this retrieval episode");
  }
  if (episode.opened.contains(record_id)) {
    return refused("record '" + record_id + "' was already opened in this retrieval episode");
  }
  if (trim_unicode_white_space(o.claim_id).empty()) return refused("evidence claim ID must not be empty");
  std::vector<std::string> keys;
  keys.reserve(o.support_keys.size());
  for (const std::string& key : o.support_keys) {
    if (trim_unicode_white_space(key).empty()) return refused("support keys must not contain an empty value");
    keys.push_back(normalize_evidence_key(key));
  }
  keys = sorted_set(std::move(keys));

  const EvidenceSpanCheck check = verify_evidence_span(source, o.current_source_bytes, span);
  const AnswerPermission admission = evidence_admission(check, span, *status, *permission);

  EvidenceOpened out;
  out.record_id = record_id;
  out.claim_id = o.claim_id;
  out.route = memory_route_name(*route);
  out.admission = answer_permission_name(admission);
  out.integrity_valid = check.valid;
  out.document_id = o.document_id;
  out.revision_id = o.revision_id;
  out.span_hash = span.span_hash;
  out.support_keys = keys;
  out.citable = admission == AnswerPermission::Cite;
  switch (admission) {
    case AnswerPermission::Cite:
      out.reason = "citable";
      break;
    case AnswerPermission::ContextOnly:
      out.reason = "context_only";
      break;
    case AnswerPermission::Block:
      out.reason = check.valid ? "evidence_blocked" : "lineage_invalid";
      break;
  }
  episode.opened.emplace(record_id, OpenedEvidence{record_id, o.claim_id, span.document_id, span.revision_id,
                                                   span.span_hash, std::move(keys), check.valid, *route, admission});
  return out;
}

EpisodeFinalization finalize_retrieval_episode(const RetrievalEpisode& episode, bool answer_present,
                                               const std::vector<std::string>& citations,
                                               const std::vector<std::string>& atomic_claim_keys) {
  EpisodeFinalization f;
  f.episode_id = episode.id;
  std::vector<std::string> cited;
  for (const std::string& c : citations) {
    std::string_view t = trim_unicode_white_space(c);
    if (!t.empty()) cited.emplace_back(t);
  }
  f.citations = sorted_set(std::move(cited));
  std::vector<std::string> claim_keys;
  for (const std::string& k : atomic_claim_keys) {
    std::string n = normalize_evidence_key(k);
    if (!n.empty()) claim_keys.push_back(std::move(n));
  }
  claim_keys = sorted_set(std::move(claim_keys));

  for (const auto& [id, opened] : episode.opened) {
    f.opened_record_ids.push_back(id);
    if (!std::binary_search(f.citations.begin(), f.citations.end(), id)) f.unused_opened_record_ids.push_back(id);
  }
  for (const std::string& c : f.citations) {
    auto it = episode.opened.find(c);
    if (it == episode.opened.end()) f.all_citations_opened = false;
    if (it == episode.opened.end() || it->second.admission != AnswerPermission::Cite) f.all_citations_citable = false;
  }

  if (!answer_present) {
    f.decision = f.citations.empty() ? "abstain" : "block";
    f.reasons = {f.citations.empty() ? "answer_abstained" : "abstention_must_not_cite"};
    return f;
  }

  if (f.citations.empty()) f.reasons.push_back("missing_citation");
  if (claim_keys.empty()) f.reasons.push_back("missing_atomic_claim_keys");
  std::set<std::string_view> supported;
  for (const std::string& c : f.citations) {
    auto it = episode.opened.find(c);
    if (it == episode.opened.end()) {
      f.reasons.push_back("citation_not_opened:" + c);
    } else if (it->second.admission != AnswerPermission::Cite) {
      f.reasons.push_back("citation_not_citable:" + c);
    } else {
      supported.insert(it->second.support_keys.begin(), it->second.support_keys.end());
    }
  }
  for (const std::string& k : claim_keys) {
    if (supported.contains(k)) continue;
    f.unsupported_claim_keys.push_back(k);
    f.reasons.push_back("atomic_claim_unsupported:" + k);
  }
  f.all_claims_supported = !claim_keys.empty() && f.unsupported_claim_keys.empty();
  f.answer_permitted = !f.citations.empty() && !claim_keys.empty() && f.all_citations_opened &&
                       f.all_citations_citable && f.all_claims_supported;
  f.decision = f.answer_permitted ? "allow" : "block";
  return f;
}

}  // namespace vesk
