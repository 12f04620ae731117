// Projects as a convention on ordinary records.
//
// A record tagged "research-project" whose metadata "project_id" names a
// project is that project's anchor (the first such record in map order when
// several qualify); every record whose "project_id" names the project, in any
// namespace and with any tags, is one of its members, the anchor included.
// Notes, tasks and todos are members written with fixed tags and levels.
//
// The lookups here read a record map the caller holds locked (shared is
// enough) through the map's metadata value index, which must index
// kProjectIdKey: a project costs its own records, never a walk of the map,
// and the matches come back in map order, so "first in map order" is what a
// walk would give. Project ids are compared byte for byte; any text, the
// empty one included, is a project id.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/level.h"
#include "model/metadata_value_index.h"
#include "model/record.h"
#include "model/record_map.h"
#include "write/structural_relations.h"

namespace vesk {

// kProjectIdKey and kResearchProjectTag come with the write path's
// structural relations, which link members to anchors by the same rule.
inline constexpr std::string_view kResearchReportTag = "research-report";
inline constexpr std::string_view kScheduledTaskTag = "scheduled-task";
inline constexpr std::string_view kTodoItemTag = "todo-item";
inline constexpr std::string_view kProjectNoteTag = "project-note";

// A project's anchor and members as copies: `members` holds the anchor first
// and then every other member in map order, each record once.
struct ProjectRecordGroup {
  Record anchor;
  std::vector<Record> members;
};

// The project's anchor as held in the map, or null.
const Record* project_anchor(const RecordMap& map, const MetadataValueIndex& index, std::string_view project_id);
// Every record whose "project_id" is exactly `project_id`, in map order (the
// anchor among them).
std::vector<const Record*> project_members(const RecordMap& map, const MetadataValueIndex& index,
                                           std::string_view project_id);

// Completed when metadata "completed" is exactly "1", "yes" or "true", or
// else metadata "status" is exactly "done", "closed" or "completed"; case
// matters, and anything else is open.
bool is_record_completed(const Record& r);

// The three kinds of member record the project writers store.
enum class ProjectRecordKind { Note, Task, Todo };

// How a member of each kind is stored: its one tag, its level and its
// semantic type (source type "recorded" for all).
struct ProjectRecordShape {
  std::string_view tag;
  Level level;
  std::string_view semantic_type;
};
ProjectRecordShape project_record_shape(ProjectRecordKind kind);

// The caller's metadata (or none) with the project keys set over it, in this
// order: "project_id", "entity_id" ("project:" + id), "project_anchor_id",
// and, when given, "due_date".
StringMap project_member_metadata(std::optional<StringMap> caller, std::string_view project_id,
                                  std::string_view anchor_id, std::optional<std::string_view> due_date);

}  // namespace vesk
