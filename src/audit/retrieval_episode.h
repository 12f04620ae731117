// A retrieval episode: the state of one act of answering from memory. It is
// started with a query, the ids of the records retrieval offered and the
// routes the answer may cite through; evidence is then opened for candidate
// records, one opening per record, and the answer is finally judged against
// what was opened. It lives only in the object handed to the caller and is
// never written to the store; after the start it reads no record (the
// caller supplies every byte of evidence).
//
// Invariants: `routes` and `candidate_ids` are ordered sets (ascending, no
// repeats; ids in byte order), whatever order they were given in; an entry
// of `opened` is never replaced or removed.
//
// Every refusal below is a Value status (ValueError in Python) carrying the
// message.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "audit/evidence_vocabulary.h"
#include "audit/memory_route.h"
#include "base/status.h"
#include "model/json_struct.h"

namespace vesk {

struct OpenedEvidence {
  std::string record_id;  // trimmed
  std::string claim_id;   // as given
  std::string document_id;
  std::string revision_id;
  std::string span_hash;
  std::vector<std::string> support_keys;  // normalised, ascending, each once
  bool integrity_valid = false;
  MemoryRoute route = MemoryRoute::Timeline;
  AnswerPermission admission = AnswerPermission::Block;

  bool operator==(const OpenedEvidence&) const = default;
};

struct RetrievalEpisode {
  std::string id;     // a version 4 UUID, hyphenated, lower case
  std::string query;  // as given, not trimmed
  std::set<MemoryRoute> routes;
  std::set<std::string> candidate_ids;
  std::map<std::string, OpenedEvidence> opened;

  bool operator==(const RetrievalEpisode&) const = default;
};

// White_Space runs split the text; the pieces are joined by one space and
// ASCII letters lower-cased. White space alone gives "".
std::string normalize_evidence_key(std::string_view text);

// The checks of a start that need no store, in order: every route name
// parses ("invalid memory route '{name as given}'"), the query is not blank
// ("retrieval episode query must not be empty"). No routes given: all three.
Result<std::set<MemoryRoute>> episode_routes(const std::optional<std::vector<std::string>>& routes,
                                             std::string_view query);

struct EvidenceOpening {
  std::string record_id;
  std::string claim_id;
  std::string claim_text;  // checked as text by the caller, not kept
  std::string route;
  std::vector<std::string> support_keys;
  std::string document_id;
  std::string revision_id;
  std::string uri;
  std::string registered_source_bytes;
  std::string current_source_bytes;
  uint64_t byte_start = 0;
  uint64_t byte_end = 0;
  std::string verification_status = "candidate";
  std::string answer_permission = "context_only";
};

// What an opening answers; its JSON form is the caller's dict:
//   {"record_id", "claim_id", "route", "admission", "integrity_valid",
//    "document_id", "revision_id", "span_hash", "support_keys", "citable",
//    "reason"}
struct EvidenceOpened {
  std::string record_id;
  std::string claim_id;
  std::string route;
  std::string admission;
  bool integrity_valid = false;
  std::string document_id;
  std::string revision_id;
  std::string span_hash;
  std::vector<std::string> support_keys;
  bool citable = false;
  std::string reason;  // "citable", "context_only", "evidence_blocked", "lineage_invalid"
};

template <>
struct JsonCodec<EvidenceOpened> : JsonStructCodec<EvidenceOpened> {
  static const JsonStruct<EvidenceOpened>& fields();
};

// Opens evidence for one candidate record; every refusal leaves the episode
// as it was. Refusals in order: "invalid memory route", "invalid
// verification_status", "invalid answer_permission", the span cut's texts,
// "record '{}' was not a retrieval candidate", "route '{}' is not enabled
// for this retrieval episode", "record '{}' was already opened in this
// retrieval episode", "evidence claim ID must not be empty", "support keys
// must not contain an empty value". Evidence that fails its re-check is
// opened, blocked.
Result<EvidenceOpened> episode_open_evidence(RetrievalEpisode& episode, const EvidenceOpening& opening);

// The judgement of an answer (or of an abstention) against the evidence
// opened; its JSON form is the caller's dict in field order.
struct EpisodeFinalization {
  std::string episode_id;
  std::string decision;  // "allow", "abstain" or "block"
  bool answer_permitted = false;
  std::vector<std::string> reasons;
  std::vector<std::string> citations;
  std::vector<std::string> opened_record_ids;
  std::vector<std::string> unsupported_claim_keys;
  std::vector<std::string> unused_opened_record_ids;
  bool all_citations_opened = true;
  bool all_citations_citable = true;
  bool all_claims_supported = true;

  bool operator==(const EpisodeFinalization&) const = default;
};

template <>
struct JsonCodec<EpisodeFinalization> : JsonStructCodec<EpisodeFinalization> {
  static const JsonStruct<EpisodeFinalization>& fields();
};

// Reads the episode only; the same arguments give the same answer.
EpisodeFinalization finalize_retrieval_episode(const RetrievalEpisode& episode, bool answer_present,
                                               const std::vector<std::string>& citations,
                                               const std::vector<std::string>& atomic_claim_keys);

}  // namespace vesk
