#include "entities/research_project.h"

#include <utility>
#include <variant>

#include "model/unicode_text.h"

namespace vesk {

std::string_view research_status_text(ResearchStatus s) {
  switch (s) {
    case ResearchStatus::Active:
      return "active";
    case ResearchStatus::Completed:
      return "completed";
    case ResearchStatus::Cancelled:
      return "cancelled";
  }
  return "active";
}

std::string research_depth(std::optional<std::string_view> depth) {
  return depth ? std::string(*depth) : std::string("standard");
}

std::vector<std::string> plan_research_queries(std::string_view topic, std::optional<std::string_view> depth) {
  // Exact, case-sensitive names: "Deep" plans the standard four.
  const int n = depth == "deep" ? 7 : (depth == "quick" ? 2 : 4);
  std::vector<std::string> queries;
  queries.reserve(n);
  for (int i = 1; i <= n; ++i) queries.push_back(std::string(topic) + " query " + std::to_string(i));
  return queries;
}

Result<ResearchFinding> evaluate_evidence_finding(const EvidenceFindingInput& in) {
  std::optional<VerificationStatus> status = parse_verification_status(in.verification_status);
  if (!status) return Status::Value("invalid verification_status");
  std::optional<AnswerPermission> permission = parse_answer_permission(in.answer_permission);
  if (!permission) return Status::Value("invalid answer_permission");

  EvidenceSource source = evidence_source_new(in.document_id, in.revision_id, in.uri, in.source_bytes);
  // The source was just built from these bytes, so only the range is checked.
  auto cut = cut_registered_span(source, in.source_bytes, in.byte_start, in.byte_end);
  if (const SpanCutError* e = std::get_if<SpanCutError>(&cut)) {
    return Status::Runtime(std::string(span_cut_error_text(*e)));
  }
  EvidenceSpan span = std::get<EvidenceSpan>(std::move(cut));

  const bool pages_ordered = in.page_start ? (in.page_end && *in.page_end >= *in.page_start) : !in.page_end;
  if (!pages_ordered) return Status::Runtime("page_start and page_end must be present together and ordered");
  span.page_start = in.page_start;
  span.page_end = in.page_end;
  if (in.cell_range && !trim_unicode_white_space(*in.cell_range).empty()) span.cell_range = std::string(*in.cell_range);

  ResearchFinding f;
  f.span_check = verify_evidence_span(source, in.source_bytes, span);
  f.admission = evidence_admission(*f.span_check, span, *status, *permission);
  f.url = std::string(in.uri);
  f.source = std::move(source);
  f.span = std::move(span);
  f.answer_permission = permission;
  f.verification_status = status;
  return f;
}

std::string research_anchor_content(const ResearchProject& p) {
  return "Research Project: " + p.topic + "\nDepth: " + p.depth + "\nStatus: " +
         std::string(research_status_text(p.status)) + "\nProject ID: " + p.id;
}

StringMap research_anchor_metadata(const ResearchProject& p) {
  StringMap m;
  m.insert_or_assign("project_id", p.id);
  m.insert_or_assign("entity_id", "project:" + p.id);
  m.insert_or_assign("project_topic", p.topic);
  m.insert_or_assign("project_depth", p.depth);
  m.insert_or_assign("project_status", std::string(research_status_text(p.status)));
  m.insert_or_assign("project_created_at", p.created_at);
  return m;
}

ResearchReport build_research_report(const ResearchProject& p) {
  uint64_t evidence = 0, cite = 0, context_only = 0, blocked = 0;
  std::string lines;
  for (const ResearchFinding& f : p.findings) {
    std::string_view marker;
    if (f.admission) {
      ++evidence;
      switch (*f.admission) {
        case AnswerPermission::Cite:
          ++cite;
          marker = "[citable] ";
          break;
        case AnswerPermission::ContextOnly:
          ++context_only;
          marker = "[context only] ";
          break;
        case AnswerPermission::Block:
          ++blocked;
          continue;  // counted, never listed
      }
    }
    if (!lines.empty()) lines += '\n';
    lines += "- ";
    lines += marker;
    lines += f.query;
    lines += ": ";
    lines += f.result;
  }
  const bool evidence_aware = evidence > 0;
  const bool omitted = p.synthesis && evidence_aware;

  ResearchReport r;
  if (!p.synthesis) {
    r.content = "Research: " + p.topic + "\n\nFindings:\n" + lines;
  } else if (evidence_aware) {
    r.content = "Research: " + p.topic + "\n\nAdmitted findings:\n" + lines;
  } else {
    r.content = "Research: " + p.topic + "\n\n" + *p.synthesis;
  }
  auto flag = [](bool b) { return std::string(b ? "true" : "false"); };
  StringMap& m = r.metadata;
  m.insert_or_assign("project_id", p.id);
  m.insert_or_assign("entity_id", "project:" + p.id);
  m.insert_or_assign("project_topic", p.topic);
  m.insert_or_assign("project_depth", p.depth);
  m.insert_or_assign("project_status", std::string(research_status_text(p.status)));
  m.insert_or_assign("finding_count", std::to_string(p.findings.size()));
  m.insert_or_assign("evidence_aware", flag(evidence_aware));
  m.insert_or_assign("admitted_finding_count", std::to_string(cite));
  m.insert_or_assign("context_only_finding_count", std::to_string(context_only));
  m.insert_or_assign("blocked_finding_count", std::to_string(blocked));
  m.insert_or_assign("synthesis_omitted_for_evidence_safety", flag(omitted));
  return r;
}

}  // namespace vesk
