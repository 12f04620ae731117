// Research projects: start, plain and evidence findings, completion. All
// keep the interpreter lock: each is a short change of the in-memory project
// map, and completion writes two records through the store road.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "binding/dict_builder.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

// The two evidence arguments whose default is a name, not None: a str when
// given.
struct StatusArg {
  std::string text = "candidate";
};
struct PermissionArg {
  std::string text = "context_only";
};

}  // namespace

template <>
struct FromPy<StatusArg> {
  static bool convert(PyObject* o, StatusArg& out) { return FromPy<std::string>::convert(o, out.text); }
};
template <>
struct FromPy<PermissionArg> {
  static bool convert(PyObject* o, PermissionArg& out) { return FromPy<std::string>::convert(o, out.text); }
};

namespace {

std::optional<std::string_view> view(const std::optional<std::string>& s) {
  return s ? std::optional<std::string_view>(*s) : std::nullopt;
}

PyObject* start_research(Vesk& self, std::string topic, std::optional<std::string> depth) {
  Result<ResearchProject> p = self.start_research(topic, view(depth));
  if (!p.ok()) return raise(p.status());
  return DictBuilder().add("id", p->id).add("topic", p->topic).add("depth", p->depth).add("queries", p->queries).finish();
}
constexpr Method kStartResearch{"Vesk", "start_research($self, topic, depth=None)", start_research};

Status add_research_finding(Vesk& self, std::string project_id, std::string query, std::string result,
                            std::optional<std::string> url) {
  return self.add_research_finding(project_id, query, result, view(url));
}
constexpr Method kAddResearchFinding{"Vesk", "add_research_finding($self, project_id, query, result, url=None)",
                                     add_research_finding};

PyObject* add_research_evidence_finding(Vesk& self, std::string project_id, std::string query, std::string result,
                                        std::string document_id, std::string revision_id, std::string uri,
                                        ByteString source_bytes, uint64_t byte_start, uint64_t byte_end,
                                        StatusArg verification_status, PermissionArg answer_permission,
                                        std::optional<uint32_t> page_start, std::optional<uint32_t> page_end,
                                        std::optional<std::string> cell_range) {
  EvidenceFindingInput in;
  in.document_id = document_id;
  in.revision_id = revision_id;
  in.uri = uri;
  in.source_bytes = source_bytes.data;
  in.byte_start = byte_start;
  in.byte_end = byte_end;
  in.verification_status = verification_status.text;
  in.answer_permission = answer_permission.text;
  in.page_start = page_start;
  in.page_end = page_end;
  in.cell_range = view(cell_range);
  Result<ResearchFinding> f = self.add_research_evidence_finding(project_id, query, result, in);
  if (!f.ok()) return raise(f.status());
  const EvidenceSpan& span = *f->span;
  return DictBuilder()
      .add("admission", std::string(answer_permission_name(*f->admission)))
      .add("integrity_valid", f->span_check->valid)
      .add("document_id", span.document_id)
      .add("revision_id", span.revision_id)
      .add("content_hash", f->source->source_hash)
      .add("span_hash", span.span_hash)
      .add("byte_start", span.byte_start)
      .add("byte_end", span.byte_end)
      .finish();
}
constexpr Method kAddResearchEvidenceFinding{
    "Vesk",
    "add_research_evidence_finding($self, project_id, query, result, document_id, revision_id, uri, "
    "source_bytes, byte_start, byte_end, verification_status=\"candidate\", "
    "answer_permission=\"context_only\", page_start=None, page_end=None, cell_range=None)",
    add_research_evidence_finding};

Result<std::string> complete_research(Vesk& self, std::string project_id, std::optional<std::string> synthesis) {
  return self.complete_research(project_id, std::move(synthesis));
}
constexpr Method kCompleteResearch{"Vesk", "complete_research($self, project_id, synthesis=None)", complete_research};

}  // namespace

MethodRows research_methods() {
  return {bind<kStartResearch>(), bind<kAddResearchFinding>(), bind<kAddResearchEvidenceFinding>(),
          bind<kCompleteResearch>()};
}

}  // namespace vesk::py
