// Projects: anchors, member records and the project views.
//
// Anchors and members are found through the metadata value index by
// "project_id" (entities/project_records.h), so every lookup costs the
// project's own records and answers in map order, as a walk would. The
// records' read lock is held for one lookup or one read of the members and
// let go before anything that writes (the anchor of a research project,
// a member record).
#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "entities/project_due_date.h"
#include "entities/project_views.h"
#include "store/vesk.h"

namespace vesk {
namespace {

// Every failure of the project writers reaches Python as a RuntimeError.
Status as_runtime(const Status& s) { return s.kind() == ErrorKind::Runtime ? s : Status::Runtime(s.message()); }

}  // namespace

Result<Record> Vesk::ensure_project_anchor(std::string_view project_id) {
  {
    auto records = records_.records.read();
    if (const Record* a = project_anchor(*records, records_.by_metadata(records), project_id)) return *a;
  }
  std::optional<ResearchProject> project;
  {
    auto map = research_.read();
    auto it = map->projects.find(project_id);
    if (it != map->projects.end()) project = it->second;
  }
  if (!project) return Status::Runtime("Project " + std::string(project_id) + " not found");
  return upsert_research_project_anchor(*project);
}

Result<ProjectRecordGroup> Vesk::find_project_records(std::string_view project_id) {
  Result<Record> anchor = ensure_project_anchor(project_id);
  if (!anchor.ok()) return anchor.status();
  ProjectRecordGroup group;
  group.anchor = std::move(*anchor);
  group.members.push_back(group.anchor);
  auto records = records_.records.read();
  for (const Record* r : project_members(*records, records_.by_metadata(records), project_id)) {
    if (r->id != group.anchor.id) group.members.push_back(*r);
  }
  return group;
}

Result<std::string> Vesk::store_project_record(ProjectRecordKind kind, std::string_view project_id,
                                               std::string content, std::optional<StringMap> metadata,
                                               std::optional<std::string_view> due_date) {
  Result<Record> anchor = ensure_project_anchor(project_id);
  if (!anchor.ok()) return as_runtime(anchor.status());
  const ProjectRecordShape shape = project_record_shape(kind);
  StoreRequest request;
  request.content = std::move(content);
  request.level = shape.level;
  request.tags = std::vector<std::string>{std::string(shape.tag)};
  request.pin = false;
  request.source_type = "recorded";
  request.metadata = project_member_metadata(std::move(metadata), project_id, anchor->id, due_date);
  request.deduplicate = false;
  request.namespace_ = anchor->namespace_;
  request.semantic_type = std::string(shape.semantic_type);
  Result<Record> stored = store_with_channel(std::move(request));
  if (!stored.ok()) return as_runtime(stored.status());
  return std::move(stored->id);
}

template <class View>
std::invoke_result_t<View, const Record&, std::span<const Record* const>> Vesk::read_project(
    std::string_view project_id, View&& view) {
  // One lookup of the index serves both the anchor (the first member tagged
  // "research-project") and the members.
  {
    auto records = records_.records.read();
    std::vector<const Record*> members = project_members(*records, records_.by_metadata(records), project_id);
    for (const Record* r : members) {
      if (std::ranges::find(r->tags, kResearchProjectTag) != r->tags.end()) return view(*r, members);
    }
  }
  Result<Record> anchor = ensure_project_anchor(project_id);
  if (!anchor.ok()) return std::nullopt;
  auto records = records_.records.read();
  std::vector<const Record*> members = project_members(*records, records_.by_metadata(records), project_id);
  return view(*anchor, members);
}

namespace {

// Today and tomorrow as UTC days; tomorrow is read from the clock a second
// time, 24 hours on.
std::pair<int64_t, int64_t> today_and_tomorrow(Env& env) {
  const int64_t today = utc_day(env.now());
  UtcInstant later = env.now();
  later.seconds += 86400;
  return {today, utc_day(later)};
}

using Members = std::span<const Record* const>;

}  // namespace

std::optional<ProjectGraphSnapshot> Vesk::get_project_graph(std::string_view project_id) {
  return read_project(project_id, [](const Record& anchor, Members members) { return project_graph(anchor, members); });
}

std::optional<ProjectStatusSnapshot> Vesk::get_project_status(std::string_view project_id) {
  return read_project(project_id,
                      [](const Record& anchor, Members members) { return project_status(anchor, members); });
}

std::optional<ProjectTimelineSnapshot> Vesk::get_project_timeline(std::string_view project_id) {
  const auto [today, tomorrow] = today_and_tomorrow(env_);
  return read_project(project_id, [&](const Record& anchor, Members members) {
    return project_timeline(anchor, members, today, tomorrow);
  });
}

std::optional<ProjectDigest> Vesk::get_project_digest(std::string_view project_id) {
  // The three parts are built from one read of the project, so they
  // describe the same records.
  const auto [today, tomorrow] = today_and_tomorrow(env_);
  return read_project(project_id, [&](const Record& anchor, Members members) -> std::optional<ProjectDigest> {
    auto graph = project_graph(anchor, members);
    auto status = project_status(anchor, members);
    auto timeline = project_timeline(anchor, members, today, tomorrow);
    if (!graph || !status || !timeline) return std::nullopt;
    return ProjectDigest{std::move(*graph), std::move(*status), std::move(*timeline)};
  });
}

std::optional<std::string> Vesk::project_of_record(std::string_view record_id) const {
  auto records = records_.records.read();
  const Record* r = records->find_value(record_id);
  if (!r) return std::nullopt;
  auto it = r->metadata.find(kProjectIdKey);
  if (it == r->metadata.end()) return std::nullopt;
  return it->second;
}

}  // namespace vesk
