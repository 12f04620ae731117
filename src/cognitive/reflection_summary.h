// Reflection summaries: the bounded synthesis each maintenance cycle writes
// about itself, kept in order (newest last) in memory and in
// "reflection_summaries.json" (reflection_summaries_format.h).
//
// A summary names the findings of the cycle's reflection jobs (blockers,
// contradictions, trends), each with the records it rests on; purging a
// record drops every summary with a finding whose `related_ids` name it.
// Findings are capped per cycle, and `report.capped` says when the cap cut
// some off.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vesk {

struct ReflectionFinding {
  std::string kind;
  std::string namespace_;
  std::string title;
  std::string detail;
  std::vector<std::string> related_ids;
  float score = 0.0f;
  std::string severity;

  bool operator==(const ReflectionFinding&) const = default;
};

// How many jobs ran and what each kind of job found.
struct ReflectionJobReport {
  uint64_t jobs_run = 0;
  uint64_t blocker_findings = 0;
  uint64_t contradiction_findings = 0;
  uint64_t trend_findings = 0;
  uint64_t total_findings = 0;
  bool capped = false;

  bool operator==(const ReflectionJobReport&) const = default;
};

struct ReflectionSummary {
  std::string timestamp;
  std::string digest;
  std::string dominant_phase;
  ReflectionJobReport report;
  std::vector<ReflectionFinding> findings;

  bool operator==(const ReflectionSummary&) const = default;
};

}  // namespace vesk
