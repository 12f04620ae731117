#include "entities/project_views.h"

#include <algorithm>
#include <compare>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "entities/project_due_date.h"
#include "entities/project_records.h"

namespace vesk {
namespace {

bool has_tag(const Record& r, std::string_view tag) { return std::ranges::find(r.tags, tag) != r.tags.end(); }

const std::string* metadata_text(const Record& r, std::string_view key) {
  auto it = r.metadata.find(key);
  return it == r.metadata.end() ? nullptr : &it->second;
}

// The four fields every view copies from the anchor; false without a
// "project_id".
template <class Snapshot>
bool fill_project_fields(const Record& anchor, Snapshot& s) {
  const std::string* pid = metadata_text(anchor, kProjectIdKey);
  if (!pid) return false;
  s.project_id = *pid;
  s.project_record_id = anchor.id;
  const std::string* topic = metadata_text(anchor, "project_topic");
  s.project_topic = topic ? *topic : std::string();
  s.namespace_ = anchor.namespace_;
  return true;
}

bool ascii_iequals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::ranges::equal(a, b, [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::string_view timeline_kind(const Record& r) {
  for (std::string_view tag : {kScheduledTaskTag, kTodoItemTag, kProjectNoteTag, kResearchReportTag}) {
    if (has_tag(r, tag)) return tag;
  }
  return "project-record";
}

}  // namespace

std::optional<ProjectGraphSnapshot> project_graph(const Record& anchor, std::span<const Record* const> members) {
  ProjectGraphSnapshot g;
  if (!fill_project_fields(anchor, g)) return std::nullopt;
  for (const Record* r : members) {
    if (r->id == anchor.id) continue;
    g.member_record_ids.push_back(r->id);
    for (const std::string& tag : r->tags) ++g.member_tags[tag];
  }
  std::ranges::sort(g.member_record_ids);
  g.relation_count = g.member_record_ids.size();
  return g;
}

std::optional<ProjectStatusSnapshot> project_status(const Record& anchor, std::span<const Record* const> members) {
  ProjectStatusSnapshot s;
  if (!fill_project_fields(anchor, s)) return std::nullopt;
  const std::string* status = metadata_text(anchor, "project_status");
  s.project_status = status ? *status : std::string("unknown");
  for (const Record* r : members) {
    if (r->id == anchor.id) continue;
    ++s.total_members;
    if (has_tag(*r, kResearchReportTag)) ++s.reports;
    if (has_tag(*r, kScheduledTaskTag)) {
      ++s.scheduled_tasks;
      ++(is_record_completed(*r) ? s.completed_tasks : s.open_tasks);
      if (metadata_text(*r, "due_date")) ++s.due_tasks;
    }
    if (has_tag(*r, kTodoItemTag)) {
      ++s.todos;
      ++(is_record_completed(*r) ? s.completed_todos : s.open_todos);
      const std::string* priority = metadata_text(*r, "priority");
      if (priority && ascii_iequals(*priority, "high")) ++s.high_priority_todos;
    }
    if (has_tag(*r, kProjectNoteTag)) ++s.notes;
  }
  return s;
}

std::optional<ProjectTimelineSnapshot> project_timeline(const Record& anchor, std::span<const Record* const> members,
                                                        int64_t today, int64_t tomorrow) {
  ProjectTimelineSnapshot t;
  if (!fill_project_fields(anchor, t)) return std::nullopt;
  // Each entry's sort key is read once, here, not in every comparison.
  struct Keyed {
    int64_t key;
    ProjectTimelineEntry entry;
  };
  std::vector<Keyed> rows;
  rows.reserve(members.size());
  for (const Record* r : members) {
    if (r->id == anchor.id) continue;
    const bool completed = is_record_completed(*r);
    ProjectTimelineEntry e;
    e.record_id = r->id;
    e.content = r->content;
    e.kind = std::string(timeline_kind(*r));
    const std::string* status = metadata_text(*r, "status");
    e.status = status ? *status : std::string(completed ? "completed" : "open");
    e.created_at = r->created_at;
    e.tags = r->tags;
    int64_t key = std::numeric_limits<int64_t>::max();
    if (const std::string* due_text = metadata_text(*r, "due_date")) {
      e.due_date = *due_text;
      if (std::optional<ProjectDue> due = parse_project_due(*due_text)) {
        key = due->sort_key;
        e.overdue = due->day < today && !completed;
        if (!completed && today <= due->day && due->day <= tomorrow) ++t.upcoming_entries;
      }
    }
    if (e.overdue) ++t.overdue_entries;
    if (!completed) ++t.open_entries;
    rows.push_back({key, std::move(e)});
  }
  std::ranges::stable_sort(rows, [](const Keyed& a, const Keyed& b) {
    if (a.key != b.key) return a.key < b.key;
    // IEEE total order: a NaN creation time cannot break the sort.
    return std::strong_order(a.entry.created_at, b.entry.created_at) < 0;
  });
  t.total_entries = rows.size();
  t.entries.reserve(rows.size());
  for (Keyed& k : rows) t.entries.push_back(std::move(k.entry));
  return t;
}

}  // namespace vesk
