// The memory health digest from its pieces: counts, trend, ranked issues.
#include "reports/memory_health_digest.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string_view>
#include <utility>

#include "base/merge_sort.h"

namespace vesk {
namespace {

constexpr size_t kTitlePreviewCodePoints = 48;

std::string_view before_colon(std::string_view text) { return text.substr(0, text.find(':')); }

// Severity by two "at least" thresholds; a NaN score is low.
std::string severity_of(float score, float high, float medium) {
  if (score >= high) return "high";
  if (score >= medium) return "medium";
  return "low";
}

// The first `n` code points of valid UTF-8 text (all of it when shorter).
std::string_view code_point_prefix(std::string_view text, size_t n) {
  size_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // continuation byte
    if (seen == n) return text.substr(0, i);
    ++seen;
  }
  return text;
}

float trend_score(const MaintenanceTrendSnapshot& s) {
  return static_cast<float>(s.volatile_records) + static_cast<float>(s.correction_events) +
         10.0f * s.causal_rejection_rate + 10.0f * s.policy_suppression_rate;
}

OperatorReviewIssue issue(std::string_view kind, std::string target_id, std::string namespace_, std::string title,
                          float score, std::string severity) {
  return OperatorReviewIssue{.kind = std::string(kind),
                             .target_id = std::move(target_id),
                             .namespace_ = std::move(namespace_),
                             .title = std::move(title),
                             .score = score,
                             .severity = std::move(severity)};
}

std::vector<OperatorReviewIssue> collect_issues(const MemoryHealthPieces& p) {
  std::vector<OperatorReviewIssue> out;
  for (const Belief& b : p.volatile_beliefs) {
    out.push_back(issue("belief_instability", b.id, std::string(before_colon(b.key)),
                        "High-volatility belief " + b.key, b.volatility, severity_of(b.volatility, 0.45f, 0.25f)));
  }
  for (const ContradictionCluster& c : p.clusters) {
    const float score =
        static_cast<float>(c.avg_volatility) + std::fmin(static_cast<float>(c.total_conflict_mass), 1.0f);
    out.push_back(issue("contradiction_cluster", c.id, c.namespace_,
                        "Contradiction cluster with " + std::to_string(c.belief_ids.size()) + " beliefs", score,
                        severity_of(score, 1.2f, 0.6f)));
  }
  for (const ReflectionFinding& f : p.reflection.top_findings) {
    out.push_back(issue("reflection_finding", f.related_ids.empty() ? std::string() : f.related_ids.front(),
                        f.namespace_, f.title, f.score, f.severity));
  }
  for (const Record& r : p.salient_records) {
    out.push_back(issue("high_salience_record", r.id, r.namespace_,
                        "High-salience record " + std::string(code_point_prefix(r.content, kTitlePreviewCodePoints)),
                        r.salience, severity_of(r.salience, 0.9f, 0.7f)));
  }
  for (const PolicyPressureArea& a : p.pressure) {
    const float score = static_cast<float>(a.advisory_pressure);
    out.push_back(issue("policy_pressure", a.strongest_hint_id, a.namespace_,
                        "Policy pressure in " + a.namespace_ + ":" + a.domain, score, severity_of(score, 1.2f, 0.7f)));
  }
  for (const CorrectionLogEntry& e : p.corrections) {
    std::string ns(before_colon(e.target_id));
    if (ns.empty()) ns = "default";
    out.push_back(issue("recent_correction", e.target_id, std::move(ns),
                        "Recent " + e.operation + " " + e.target_kind, 1.0f, "medium"));
  }
  return out;
}

}  // namespace

size_t health_digest_limit(std::optional<uint64_t> limit) {
  if (!limit) return kDefaultHealthDigestLimit;
  return static_cast<size_t>(std::min<uint64_t>(*limit, kMaxHealthDigestLimit));
}

std::string maintenance_trend_direction(std::span<const MaintenanceTrendSnapshot> history) {
  if (history.size() < 2) return "insufficient_data";
  const float delta = trend_score(history.back()) - trend_score(history.front());
  if (delta > 1.0f) return "worsening";
  if (delta < -1.0f) return "improving";
  return "stable";
}

std::vector<CorrectionLogEntry> newest_corrections(std::span<const CorrectionLogEntry> log, size_t limit) {
  // Order positions, not entries, and copy only the kept ones.
  std::vector<size_t> order(log.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return log[a].timestamp > log[b].timestamp; });
  std::vector<CorrectionLogEntry> out;
  for (size_t i = 0; i < order.size() && out.size() < limit; ++i) out.push_back(log[order[i]]);
  return out;
}

MemoryHealthDigest memory_health_digest(const MemoryHealthPieces& p, size_t limit) {
  MemoryHealthDigest d;
  d.total_records = p.total_records;
  d.startup_has_recovery_warnings = p.startup_has_recovery_warnings;
  d.high_salience_record_count = p.salience.high_salience_count;
  d.avg_salience = p.salience.avg_salience;
  d.max_salience = p.salience.max_salience;
  d.reflection_summary_count = p.reflection.summary_count;
  d.reflection_high_severity_findings = p.reflection.high_severity_findings;
  d.contradiction_cluster_count = p.clusters.size();
  d.high_volatility_belief_count = p.instability.high_volatility_count;
  d.low_stability_belief_count = p.instability.low_stability_count;
  d.recent_correction_count = p.corrections.size();
  d.suppressed_policy_hint_count = p.lifecycle.suppressed_hints;
  d.rejected_policy_hint_count = p.lifecycle.rejected_hints;
  d.policy_pressure_area_count = p.pressure.size();
  d.maintenance_trend_direction = p.trend_direction;
  d.latest_dominant_phase = p.latest_dominant_phase;

  std::vector<OperatorReviewIssue> issues = collect_issues(p);
  merge_sort(issues, [](const OperatorReviewIssue& a, const OperatorReviewIssue& b) {
    const float sa = static_cast<float>(a.score), sb = static_cast<float>(b.score);
    if (sa > sb) return true;
    if (sb > sa) return false;
    if (a.kind != b.kind) return a.kind < b.kind;
    return a.target_id < b.target_id;
  });
  if (issues.size() > limit) issues.resize(limit);
  d.top_issues = std::move(issues);
  return d;
}

}  // namespace vesk
