// MaintenanceConfig: the switches and limits of the maintenance cycle, with
// its archival rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vesk {

// Configurable archival rule for a tag category.
struct ArchivalRule {
  std::string tag;             // Tag to match.
  uint32_t max_age_days = 0;   // Maximum age in days before deletion.
  uint64_t keep_recent = 0;    // Keep at least this many most-recent records.

  bool operator==(const ArchivalRule&) const = default;
};

// Completed archival rule: only deletes completed/done items.
struct CompletedArchivalRule {
  std::string tag;
  uint32_t max_age_days = 0;

  bool operator==(const CompletedArchivalRule&) const = default;
};

struct MaintenanceConfig {
  bool decay_enabled = true;
  bool reflect_enabled = true;
  bool insights_enabled = true;
  bool consolidation_enabled = true;
  bool synthesis_enabled = true;
  bool archival_enabled = true;
  // Run level fix every Nth cycle.
  uint64_t level_fix_interval = 10;
  // Max clusters per consolidation run.
  uint64_t max_clusters_per_run = 3;
  // Configurable archival rules.
  std::vector<ArchivalRule> archival_rules{
      {"web-search-cache", 1, 0},     {"autonomous-outcome", 7, 50}, {"session-summary", 14, 20},
      {"proactive-session", 7, 20},   {"action-plan", 14, 10},       {"session-reflection", 30, 50},
      {"research-finding", 30, 100},  {"consolidated-meta", 90, 200}, {"research-project", 90, 50},
      {"feedback-signal", 14, 50},
  };
  // Completed-item archival rules.
  std::vector<CompletedArchivalRule> completed_archival_rules{{"todo-item", 30}, {"scheduled-task", 30}};
  // Tag used for scheduled tasks.
  std::string task_tag = "scheduled-task";

  bool operator==(const MaintenanceConfig&) const = default;
};

// The maintenance settings every store starts from (a default-constructed
// MaintenanceConfig).
MaintenanceConfig maintenance_config_default();

}  // namespace vesk
