// Projects: the note, task and todo writers and the four project views with
// their _for_record forms. All keep the interpreter lock: a project costs
// its own records (found through the store's metadata index). A view never
// raises for a missing project: it answers None.
#include <optional>
#include <string>
#include <utility>

#include "value_classes.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

Result<std::string> store_project_note(Vesk& self, std::string project_id, std::string content,
                                       std::optional<StringMap> metadata) {
  return self.store_project_record(ProjectRecordKind::Note, project_id, std::move(content), std::move(metadata));
}
constexpr Method kStoreProjectNote{"Vesk", "store_project_note($self, project_id, content, metadata=None)",
                                   store_project_note};

Result<std::string> store_project_task(Vesk& self, std::string project_id, std::string content,
                                       std::optional<std::string> due_date, std::optional<StringMap> metadata) {
  std::optional<std::string_view> due;
  if (due_date) due = *due_date;
  return self.store_project_record(ProjectRecordKind::Task, project_id, std::move(content), std::move(metadata), due);
}
constexpr Method kStoreProjectTask{"Vesk",
                                   "store_project_task($self, project_id, content, due_date=None, metadata=None)",
                                   store_project_task};

Result<std::string> store_project_todo(Vesk& self, std::string project_id, std::string content,
                                       std::optional<StringMap> metadata) {
  return self.store_project_record(ProjectRecordKind::Todo, project_id, std::move(content), std::move(metadata));
}
constexpr Method kStoreProjectTodo{"Vesk", "store_project_todo($self, project_id, content, metadata=None)",
                                   store_project_todo};

// A view of the project that `record_id` names in its "project_id", or None.
template <class View>
auto for_record(Vesk& self, const std::string& record_id, View view) -> decltype(view(std::string_view())) {
  std::optional<std::string> project = self.project_of_record(record_id);
  if (!project) return std::nullopt;
  return view(*project);
}

std::optional<ProjectGraphSnapshot> get_project_graph(Vesk& self, std::string project_id) {
  return self.get_project_graph(project_id);
}
constexpr Method kGetProjectGraph{"Vesk", "get_project_graph($self, project_id)", get_project_graph};

std::optional<ProjectGraphSnapshot> get_project_graph_for_record(Vesk& self, std::string record_id) {
  return for_record(self, record_id, [&](std::string_view p) { return self.get_project_graph(p); });
}
constexpr Method kGetProjectGraphForRecord{"Vesk", "get_project_graph_for_record($self, record_id)",
                                           get_project_graph_for_record};

std::optional<ProjectStatusSnapshot> get_project_status(Vesk& self, std::string project_id) {
  return self.get_project_status(project_id);
}
constexpr Method kGetProjectStatus{"Vesk", "get_project_status($self, project_id)", get_project_status};

std::optional<ProjectStatusSnapshot> get_project_status_for_record(Vesk& self, std::string record_id) {
  return for_record(self, record_id, [&](std::string_view p) { return self.get_project_status(p); });
}
constexpr Method kGetProjectStatusForRecord{"Vesk", "get_project_status_for_record($self, record_id)",
                                            get_project_status_for_record};

std::optional<ProjectTimelineSnapshot> get_project_timeline(Vesk& self, std::string project_id) {
  return self.get_project_timeline(project_id);
}
constexpr Method kGetProjectTimeline{"Vesk", "get_project_timeline($self, project_id)", get_project_timeline};

std::optional<ProjectTimelineSnapshot> get_project_timeline_for_record(Vesk& self, std::string record_id) {
  return for_record(self, record_id, [&](std::string_view p) { return self.get_project_timeline(p); });
}
constexpr Method kGetProjectTimelineForRecord{"Vesk", "get_project_timeline_for_record($self, record_id)",
                                              get_project_timeline_for_record};

std::optional<ProjectDigest> get_project_digest(Vesk& self, std::string project_id) {
  return self.get_project_digest(project_id);
}
constexpr Method kGetProjectDigest{"Vesk", "get_project_digest($self, project_id)", get_project_digest};

std::optional<ProjectDigest> get_project_digest_for_record(Vesk& self, std::string record_id) {
  return for_record(self, record_id, [&](std::string_view p) { return self.get_project_digest(p); });
}
constexpr Method kGetProjectDigestForRecord{"Vesk", "get_project_digest_for_record($self, record_id)",
                                            get_project_digest_for_record};

}  // namespace

MethodRows project_methods() {
  return {bind<kStoreProjectNote>(),         bind<kStoreProjectTask>(),
          bind<kStoreProjectTodo>(),         bind<kGetProjectGraph>(),
          bind<kGetProjectGraphForRecord>(), bind<kGetProjectStatus>(),
          bind<kGetProjectStatusForRecord>(), bind<kGetProjectTimeline>(),
          bind<kGetProjectTimelineForRecord>(), bind<kGetProjectDigest>(),
          bind<kGetProjectDigestForRecord>()};
}

}  // namespace vesk::py
