// The reflection digest: a rollup of the most recent reflection summaries,
// per finding kind, with the namespaces they touched and the strongest
// findings.
//
// The window of a history of N summaries and a limit L: the last min(L, N)
// summaries. L is 8 when no limit is given, 1 when it is 0 (the newest
// summary is always shown), else the limit capped at 32.
//
// A finding is of high severity only when its severity is exactly "high".
// Kinds are ordered by high-severity count, count, then average score, all
// descending (kinds equal in all three keep the order they were first met),
// and cut to 12; namespaces by finding count descending, then name in byte
// order, cut to 8; the strongest findings by score descending, equal or
// incomparable (NaN) scores by title in byte order, cut to 6. Sums and
// averages are single precision. Sorts are stable and NaN-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
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

inline constexpr uint64_t kDefaultReflectionWindow = 8;
inline constexpr uint64_t kMaxReflectionWindow = 32;
inline constexpr size_t kMaxDigestKinds = 12;
inline constexpr size_t kMaxDigestNamespaces = 8;
inline constexpr size_t kMaxDigestTopFindings = 6;

// L of the window rule above.
uint64_t reflection_window_size(std::optional<uint64_t> limit);

// The digest of `window`, oldest summary first. Pure; the caller holds the
// history's read lock.
ReflectionDigest reflection_digest(std::span<const ReflectionSummary> window);

}  // namespace vesk
