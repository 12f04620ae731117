// Research projects: a plan of queries, the findings an agent collects while
// it works, and the report stored as a record when the project completes.
//
// Projects live in memory only (the store object's map, behind its own
// lock) and are lost when the store closes; what survives is what was
// written as records: the project's anchor record and its reports. This file
// holds the values and everything about them that needs no store: the query
// plan, the checks and the admission of an evidence finding, the anchor's
// content and metadata, and the report's content and metadata.
//
// A finding is an evidence finding exactly when it carries an admission; the
// report lists findings by that admission and leaves a caller's free-text
// synthesis out whenever evidence findings exist, so that unverified prose
// never sits beside citable evidence.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audit/evidence_vocabulary.h"
#include "base/status.h"
#include "base/string_hash.h"
#include "model/evidence_source.h"

namespace vesk {

enum class ResearchStatus : uint8_t { Active = 0, Completed = 1, Cancelled = 2 };

// "active", "completed", "cancelled".
std::string_view research_status_text(ResearchStatus s);

struct ResearchFinding {
  std::string query;
  std::string result;
  std::string created_at;          // RFC 3339, UTC
  std::optional<std::string> url;  // the uri of an evidence finding
  std::optional<EvidenceSource> source;
  std::optional<EvidenceSpan> span;
  std::optional<EvidenceSpanCheck> span_check;
  float credibility = 0.5f;
  std::optional<AnswerPermission> answer_permission;  // requested
  std::optional<AnswerPermission> admission;          // granted
  std::optional<VerificationStatus> verification_status;
};

struct ResearchProject {
  std::string id;  // version 4 UUID, hyphenated lower case
  std::string topic;
  std::string depth;
  std::vector<std::string> queries;
  std::vector<ResearchFinding> findings;
  std::string created_at;  // RFC 3339, UTC, "+00:00"
  std::optional<std::string> synthesis;
  ResearchStatus status = ResearchStatus::Active;
};

// The store object's map of research projects, by id.
struct ResearchProjects {
  StringKeyMap<ResearchProject> projects;
};

// The depth recorded for a project: "standard" when none is given.
std::string research_depth(std::optional<std::string_view> depth);
// "{topic} query {n}" for n = 1..k, k = 7 for exactly "deep", 2 for exactly
// "quick", else 4.
std::vector<std::string> plan_research_queries(std::string_view topic, std::optional<std::string_view> depth);

// The caller's description of one evidence finding.
struct EvidenceFindingInput {
  std::string_view document_id;
  std::string_view revision_id;
  std::string_view uri;
  std::string_view source_bytes;
  uint64_t byte_start = 0;
  uint64_t byte_end = 0;
  std::string_view verification_status = "candidate";
  std::string_view answer_permission = "context_only";
  std::optional<uint32_t> page_start;
  std::optional<uint32_t> page_end;
  std::optional<std::string_view> cell_range;
};

// An evidence finding's source, span, check and admission, or the first
// failure, in this order: the status ("invalid verification_status", Value),
// the permission ("invalid answer_permission", Value), the span cut (Runtime,
// the span's own text), the pages ("page_start and page_end must be present
// together and ordered", Runtime). Query, result, time and credibility are
// left for the caller to fill.
Result<ResearchFinding> evaluate_evidence_finding(const EvidenceFindingInput& in);

// The anchor record of a project: its content and its six metadata keys.
std::string research_anchor_content(const ResearchProject& p);
StringMap research_anchor_metadata(const ResearchProject& p);

// The report record of a completed project: its content and its eleven
// metadata keys.
struct ResearchReport {
  std::string content;
  StringMap metadata;
};
ResearchReport build_research_report(const ResearchProject& p);

}  // namespace vesk
