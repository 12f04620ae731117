#include "entities/project_records.h"

#include <algorithm>
#include <utility>

namespace vesk {
namespace {

bool has_tag(const Record& r, std::string_view tag) { return std::ranges::find(r.tags, tag) != r.tags.end(); }

std::optional<std::string_view> metadata_text(const Record& r, std::string_view key) {
  auto it = r.metadata.find(key);
  if (it == r.metadata.end()) return std::nullopt;
  return std::string_view(it->second);
}

}  // namespace

const Record* project_anchor(const RecordMap& map, const MetadataValueIndex& index, std::string_view project_id) {
  for (const Record* r : index.records_with_value(map, kProjectIdKey, project_id)) {
    if (has_tag(*r, kResearchProjectTag)) return r;
  }
  return nullptr;
}

std::vector<const Record*> project_members(const RecordMap& map, const MetadataValueIndex& index,
                                           std::string_view project_id) {
  return index.records_with_value(map, kProjectIdKey, project_id);
}

bool is_record_completed(const Record& r) {
  if (auto c = metadata_text(r, "completed"); c && (*c == "1" || *c == "yes" || *c == "true")) return true;
  auto s = metadata_text(r, "status");
  return s && (*s == "done" || *s == "closed" || *s == "completed");
}

ProjectRecordShape project_record_shape(ProjectRecordKind kind) {
  switch (kind) {
    case ProjectRecordKind::Note:
      return {kProjectNoteTag, Level::Domain, "fact"};
    case ProjectRecordKind::Task:
      return {kScheduledTaskTag, Level::Working, "decision"};
    case ProjectRecordKind::Todo:
      return {kTodoItemTag, Level::Working, "decision"};
  }
  return {kProjectNoteTag, Level::Domain, "fact"};
}

StringMap project_member_metadata(std::optional<StringMap> caller, std::string_view project_id,
                                  std::string_view anchor_id, std::optional<std::string_view> due_date) {
  StringMap m = caller ? std::move(*caller) : StringMap();
  m.insert_or_assign(std::string(kProjectIdKey), std::string(project_id));
  m.insert_or_assign("entity_id", "project:" + std::string(project_id));
  m.insert_or_assign("project_anchor_id", std::string(anchor_id));
  if (due_date) m.insert_or_assign("due_date", std::string(*due_date));
  return m;
}

}  // namespace vesk
