// The memory health digest: one page of the store's health, gathered from the
// startup report, salience, reflection, the belief and policy layers, the
// corrections and the maintenance trend, with the issues an operator should
// review first.
//
// The store gathers the pieces one after another, each under its own shared
// locks and with one limit L (8 when none is given, at most 20), and hands
// them to `memory_health_digest`, which copies the headline counts, derives
// the trend direction and ranks the issues. The digest is therefore not one
// snapshot: a write between two pieces may show in some counts only.
//
// Issues, collected in this order (every threshold is "at least"):
//   belief_instability    the most volatile beliefs (volatility 0.2 and up);
//                         score the volatility; high 0.45, medium 0.25
//   contradiction_cluster score avg_volatility + min(total_conflict_mass,
//                         1.0); high 1.2, medium 0.6
//   reflection_finding    the digest's top findings, score and severity as
//                         found; target the first related id (or empty)
//   high_salience_record  records of salience 0.7 and up; score the
//                         salience; high 0.9, medium 0.7
//   policy_pressure       pressure areas; score the advisory pressure;
//                         high 1.2, medium 0.7
//   recent_correction     the newest correction entries; score 1.0, medium
// ranked by score descending, equal or incomparable (NaN) scores by kind,
// then target id, in byte order; the first L kept. Scores are single
// precision.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audit/correction_log_entry.h"
#include "cognitive/belief_layer.h"
#include "cognitive/maintenance_trend_snapshot.h"
#include "model/record.h"
#include "reports/belief_instability.h"
#include "reports/policy_governance.h"
#include "reports/reflection_digest.h"
#include "reports/salience_summary.h"

namespace vesk {

// One thing to look at: what kind of issue, on which target, how pressing.
struct OperatorReviewIssue {
  std::string kind;
  std::string target_id;
  std::string namespace_;
  std::string title;
  double score = 0.0;
  std::string severity;

  bool operator==(const OperatorReviewIssue&) const = default;
};

struct MemoryHealthDigest {
  uint64_t total_records = 0;
  bool startup_has_recovery_warnings = false;
  uint64_t high_salience_record_count = 0;
  double avg_salience = 0.0;
  double max_salience = 0.0;
  uint64_t reflection_summary_count = 0;
  uint64_t reflection_high_severity_findings = 0;
  uint64_t contradiction_cluster_count = 0;
  uint64_t high_volatility_belief_count = 0;
  uint64_t low_stability_belief_count = 0;
  uint64_t recent_correction_count = 0;
  uint64_t suppressed_policy_hint_count = 0;
  uint64_t rejected_policy_hint_count = 0;
  uint64_t policy_pressure_area_count = 0;
  std::string maintenance_trend_direction;
  std::string latest_dominant_phase;
  std::vector<OperatorReviewIssue> top_issues;

  bool operator==(const MemoryHealthDigest&) const = default;
};

inline constexpr size_t kDefaultHealthDigestLimit = 8;
inline constexpr size_t kMaxHealthDigestLimit = 20;

// L: 8 when none is given, else the limit capped at 20.
size_t health_digest_limit(std::optional<uint64_t> limit);

// "insufficient_data" with fewer than two snapshots. Otherwise the trend
// score of a snapshot is volatile_records + correction_events
// + 10 x causal_rejection_rate + 10 x policy_suppression_rate (single
// precision); newest minus oldest above 1.0 is "worsening", below -1.0
// "improving", anything else "stable".
std::string maintenance_trend_direction(std::span<const MaintenanceTrendSnapshot> history);

// The log newest first (entries of equal timestamp keep file order), cut to
// `limit`.
std::vector<CorrectionLogEntry> newest_corrections(std::span<const CorrectionLogEntry> log, size_t limit);

// What the store gathered, each piece taken with the limit L where it has one.
struct MemoryHealthPieces {
  uint64_t total_records = 0;
  bool startup_has_recovery_warnings = false;
  SalienceSummary salience;
  BeliefInstabilitySummary instability;
  ReflectionDigest reflection;
  std::vector<ContradictionCluster> clusters;
  PolicyLifecycleSummary lifecycle;
  std::vector<PolicyPressureArea> pressure;
  std::string trend_direction;
  std::string latest_dominant_phase;
  std::vector<CorrectionLogEntry> corrections;  // newest first, at most L
  std::vector<Belief> volatile_beliefs;         // volatility 0.2 and up, at most L
  std::vector<Record> salient_records;          // salience 0.7 and up, at most L
};

// The digest of the pieces, with at most `limit` issues. Pure.
MemoryHealthDigest memory_health_digest(const MemoryHealthPieces& pieces, size_t limit);

}  // namespace vesk
