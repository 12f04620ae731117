// Project views: the records of one project seen as a structural graph, as
// status counters (reports, tasks, todos, notes) and as a timeline, each
// rebuilt from the records on request, and the three together as a digest.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/string_hash.h"

namespace vesk {

struct ProjectGraphSnapshot {
  std::string project_id;
  std::string project_record_id;
  std::string project_topic;
  std::string namespace_;
  std::vector<std::string> member_record_ids;
  StringKeyMap<uint64_t> member_tags;  // tag -> members carrying it
  uint64_t relation_count = 0;

  bool operator==(const ProjectGraphSnapshot&) const = default;
};

struct ProjectStatusSnapshot {
  std::string project_id;
  std::string project_record_id;
  std::string project_topic;
  std::string namespace_;
  std::string project_status;
  uint64_t total_members = 0;
  uint64_t reports = 0;
  uint64_t scheduled_tasks = 0;
  uint64_t open_tasks = 0;
  uint64_t completed_tasks = 0;
  uint64_t todos = 0;
  uint64_t open_todos = 0;
  uint64_t completed_todos = 0;
  uint64_t notes = 0;
  uint64_t due_tasks = 0;
  uint64_t high_priority_todos = 0;

  bool operator==(const ProjectStatusSnapshot&) const = default;
};

// One project record on the timeline.
struct ProjectTimelineEntry {
  std::string record_id;
  std::string content;
  std::string kind;
  std::string status;
  double created_at = 0.0;
  std::optional<std::string> due_date;
  bool overdue = false;
  std::vector<std::string> tags;

  bool operator==(const ProjectTimelineEntry&) const = default;
};

struct ProjectTimelineSnapshot {
  std::string project_id;
  std::string project_record_id;
  std::string project_topic;
  std::string namespace_;
  uint64_t total_entries = 0;
  uint64_t overdue_entries = 0;
  uint64_t upcoming_entries = 0;
  uint64_t open_entries = 0;
  std::vector<ProjectTimelineEntry> entries;

  bool operator==(const ProjectTimelineSnapshot&) const = default;
};

struct ProjectDigest {
  ProjectGraphSnapshot graph;
  ProjectStatusSnapshot status;
  ProjectTimelineSnapshot timeline;

  bool operator==(const ProjectDigest&) const = default;
};

}  // namespace vesk
