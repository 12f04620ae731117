// The reflection digest: a rollup of the most recent reflection summaries,
// per finding kind, with the namespaces they touched and the strongest
// findings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cognitive/reflection_summary.h"

namespace vesk {

struct ReflectionKindSummary {
  std::string kind;
  uint64_t count = 0;
  uint64_t high_severity_count = 0;
  float avg_score = 0.0f;

  bool operator==(const ReflectionKindSummary&) const = default;
};

struct ReflectionDigest {
  uint64_t summary_count = 0;
  uint64_t total_findings = 0;
  uint64_t high_severity_findings = 0;
  std::string latest_timestamp;
  std::string latest_dominant_phase;
  std::vector<ReflectionKindSummary> kinds;
  std::vector<std::string> namespaces;
  std::vector<ReflectionFinding> top_findings;

  bool operator==(const ReflectionDigest&) const = default;
};

}  // namespace vesk
