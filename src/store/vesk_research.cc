// Research projects: the in-memory project map, its findings, and the
// anchor and report records written when a project completes.
//
// The map's write lock is held only for a lookup and its change. Credibility
// is rated under the credibility read lock before the map is taken (the two
// are never held together), and records are written only after the map is
// let go, under the write path's own locks.
#include <optional>
#include <string>
#include <utility>

#include "base/rfc3339.h"
#include "storage/atomic_file.h"
#include "store/vesk.h"

namespace vesk {
namespace {

Status project_not_found(std::string_view id) { return Status::Runtime("Project " + std::string(id) + " not found"); }

// The project of `id` in the map, ready for a finding, or the error.
Result<ResearchProject*> active_project(ResearchProjects& map, std::string_view id) {
  auto it = map.projects.find(id);
  if (it == map.projects.end()) return project_not_found(id);
  if (it->second.status != ResearchStatus::Active) return Status::Runtime("Project is not active");
  return &it->second;
}

}  // namespace

Result<ResearchProject> Vesk::start_research(std::string_view topic, std::optional<std::string_view> depth) {
  Result<std::string> id = random_uuid_v4(env_);
  if (!id.ok()) return id.status();
  ResearchProject p;
  p.id = std::move(*id);
  p.topic = std::string(topic);
  p.depth = research_depth(depth);
  p.queries = plan_research_queries(topic, depth);
  p.created_at = format_rfc3339_utc(env_.now());
  auto map = research_.write();
  map->projects.insert_or_assign(p.id, p);
  return p;
}

Status Vesk::add_research_finding(std::string_view project_id, std::string_view query, std::string_view result,
                                  std::optional<std::string_view> url) {
  ResearchFinding f;
  f.query = std::string(query);
  f.result = std::string(result);
  f.created_at = format_rfc3339_utc(env_.now());
  if (url) {
    f.url = std::string(*url);
    f.credibility = get_credibility(*url);
  }
  auto map = research_.write();
  Result<ResearchProject*> p = active_project(*map, project_id);
  if (!p.ok()) return p.status();
  (*p)->findings.push_back(std::move(f));
  return Status::Ok();
}

Result<ResearchFinding> Vesk::add_research_evidence_finding(std::string_view project_id, std::string_view query,
                                                            std::string_view result,
                                                            const EvidenceFindingInput& input) {
  Result<ResearchFinding> f = evaluate_evidence_finding(input);
  if (!f.ok()) return f.status();
  f->query = std::string(query);
  f->result = std::string(result);
  f->credibility = get_credibility(input.uri);
  f->created_at = format_rfc3339_utc(env_.now());
  auto map = research_.write();
  Result<ResearchProject*> p = active_project(*map, project_id);
  if (!p.ok()) return p.status();
  (*p)->findings.push_back(*f);
  return f;
}

Result<std::string> Vesk::complete_research(std::string_view project_id, std::optional<std::string> synthesis) {
  ResearchProject copy;
  {
    auto map = research_.write();
    auto it = map->projects.find(project_id);
    if (it == map->projects.end()) return project_not_found(project_id);
    // Completing again is allowed: it writes another report.
    it->second.status = ResearchStatus::Completed;
    it->second.synthesis = std::move(synthesis);
    copy = it->second;
  }
  Result<Record> anchor = upsert_research_project_anchor(copy);
  if (!anchor.ok()) return anchor.status();

  ResearchReport report = build_research_report(copy);
  StoreRequest request;
  request.content = std::move(report.content);
  request.level = Level::Domain;
  request.tags = std::vector<std::string>{std::string(kResearchReportTag)};
  request.source_type = "retrieved";
  request.metadata = std::move(report.metadata);
  request.deduplicate = false;
  request.semantic_type = "fact";
  Result<Record> stored = store_with_channel(std::move(request));
  if (!stored.ok()) return stored.status();
  return std::move(stored->id);
}

Result<Record> Vesk::upsert_research_project_anchor(const ResearchProject& project) {
  std::string content = research_anchor_content(project);
  StringMap metadata = research_anchor_metadata(project);
  std::optional<std::string> anchor_id;
  {
    auto records = records_.records.read();
    if (const Record* a = project_anchor(*records, records_.by_metadata(records), project.id)) anchor_id = a->id;
  }
  if (anchor_id) {
    // The six keys replace the anchor's metadata: keys a caller added to it
    // are dropped, the write path's own stamps stay.
    RecordUpdate change;
    change.content = std::move(content);
    change.metadata = std::move(metadata);
    Result<std::optional<Record>> updated = update(*anchor_id, std::move(change));
    if (!updated.ok()) return updated.status();
    if (!*updated) return Status::Runtime("Research project anchor disappeared");
    return std::move(**updated);
  }
  StoreRequest request;
  request.content = std::move(content);
  request.level = Level::Domain;
  request.tags = std::vector<std::string>{std::string(kResearchProjectTag)};
  request.source_type = "recorded";
  request.metadata = std::move(metadata);
  request.deduplicate = false;
  request.semantic_type = "fact";
  return store_with_channel(std::move(request));
}

}  // namespace vesk
