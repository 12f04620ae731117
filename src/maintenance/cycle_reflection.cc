#include "maintenance/cycle_reflection.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "base/rfc3339.h"
#include "cognitive/surface_savers.h"

namespace vesk {
namespace {

constexpr size_t kKeptSummaries = 16;
constexpr size_t kKeptPerKind = 2;
constexpr size_t kMaxFindings = 6;
constexpr size_t kPreviewScalars = 56;
constexpr int64_t kSecondsPerDay = 86400;

// A figure with a fixed number of decimals; a NaN or infinite one as "NaN",
// "inf" or "-inf".
std::string fixed(double v, int decimals) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  const int n = std::snprintf(nullptr, 0, "%.*f", decimals, v);
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), "%.*f", decimals, v);
  out.resize(static_cast<size_t>(n));
  return out;
}

int64_t utc_day(UtcInstant t) {
  return t.seconds >= 0 ? t.seconds / kSecondsPerDay : -((-t.seconds + kSecondsPerDay - 1) / kSecondsPerDay);
}

// The content whole up to 56 Unicode scalars, else its first 56 and "...".
std::string preview(const std::string& content) {
  size_t scalars = 0;
  for (size_t i = 0; i < content.size(); ++i) {
    if ((static_cast<unsigned char>(content[i]) & 0xC0) == 0x80) continue;
    if (scalars == kPreviewScalars) return content.substr(0, i) + "...";
    ++scalars;
  }
  return content;
}

// Higher first; a NaN after every number. A strict weak order, so the
// stable sort stays defined whatever the scores.
bool ranks_before(const ReflectionFinding& a, const ReflectionFinding& b) {
  const bool a_nan = std::isnan(a.score);
  const bool b_nan = std::isnan(b.score);
  if (a_nan || b_nan) return !a_nan && b_nan;
  return a.score > b.score;
}

void keep_best(std::vector<ReflectionFinding>& findings, size_t n) {
  std::stable_sort(findings.begin(), findings.end(), ranks_before);
  if (findings.size() > n) findings.resize(n);
}

std::optional<ReflectionFinding> task_finding(const Record& record, std::string_view task_tag, int64_t today) {
  if (std::find(record.tags.begin(), record.tags.end(), task_tag) == record.tags.end()) return std::nullopt;
  const auto status = record.metadata.find("status");
  if (status == record.metadata.end() || status->second != "active") return std::nullopt;
  const auto due = record.metadata.find("due_date");
  if (due == record.metadata.end()) return std::nullopt;
  const std::optional<UtcInstant> at = parse_rfc3339(due->second);
  if (!at) return std::nullopt;
  const int64_t due_day = utc_day(*at);
  if (due_day > today) return std::nullopt;
  const int64_t days = today - due_day;

  ReflectionFinding f;
  f.kind = "repeated_blocker";
  f.namespace_ = record.namespace_;
  f.title = "Overdue task remains active: " + preview(record.content);
  f.detail = "Task is overdue by " + std::to_string(days) + " day(s), salience " + fixed(record.salience, 2) +
             ", strength " + fixed(record.strength, 2) + ".";
  f.related_ids = {record.id};
  f.score = static_cast<float>(days) + record.salience + std::max(0.0f, 1.0f - record.strength);
  f.severity = days >= 3 || record.salience >= 0.7f ? "high" : days >= 1 ? "medium" : "low";
  return f;
}

std::optional<ReflectionFinding> contradiction_finding(const ContradictionCluster& c) {
  if (c.unresolved_belief_count == 0 && !(c.total_conflict_mass > 0.0)) return std::nullopt;
  std::string tags;
  for (const std::string& tag : c.shared_tags) tags += (tags.empty() ? "" : ", ") + tag;
  ReflectionFinding f;
  f.kind = "unresolved_contradiction";
  f.namespace_ = c.namespace_;
  f.title = "Unresolved contradiction corridor with " + std::to_string(c.belief_ids.size()) + " beliefs";
  f.detail = "Avg volatility " + fixed(c.avg_volatility, 2) + ", conflict mass " + fixed(c.total_conflict_mass, 2) +
             ", shared tags: " + (tags.empty() ? std::string("none") : tags) + ".";
  f.related_ids = c.belief_ids;
  f.score = static_cast<float>(c.avg_volatility + std::min(c.total_conflict_mass, 1.5));
  f.severity = c.avg_volatility >= 0.45 || c.total_conflict_mass >= 1.0 ? "high"
               : c.avg_volatility >= 0.2                                 ? "medium"
                                                                         : "low";
  return f;
}

float pressure(const MaintenanceTrendSnapshot& s) {
  return static_cast<float>(s.volatile_records) + static_cast<float>(s.correction_events) +
         10.0f * s.policy_suppression_rate + 10.0f * s.causal_rejection_rate;
}

std::string trend_direction(const MaintenanceTrendSummary& trend) {
  if (trend.recent.size() < 2) return "insufficient_data";
  const float delta = pressure(trend.recent.back()) - pressure(trend.recent.front());
  if (delta < -1.0f) return "improving";
  if (delta > 1.0f) return "worsening";
  return "stable";
}

std::optional<ReflectionFinding> trend_finding(const MaintenanceTrendSummary& trend, const std::string& phase) {
  const std::string direction = trend_direction(trend);
  const bool worsening = direction == "worsening";
  if (!worsening && !(trend.avg_belief_churn >= 0.1f) && !(trend.avg_policy_suppression_rate >= 0.25f))
    return std::nullopt;
  ReflectionFinding f;
  f.kind = "trend_tension";
  f.namespace_ = "default";
  f.title = "Maintenance trend is " + direction + " with dominant phase " + phase;
  f.detail = "Avg belief churn " + fixed(trend.avg_belief_churn, 2) + ", policy suppression " +
             fixed(trend.avg_policy_suppression_rate, 2) + ", cycle time " + fixed(trend.avg_cycle_time_ms, 0) +
             "ms.";
  f.score = trend.avg_belief_churn + trend.avg_policy_suppression_rate + (worsening ? 0.5f : 0.0f);
  f.severity = worsening ? "high" : "medium";
  return f;
}

}  // namespace

ReflectionSummary build_reflection_summary(const MaintenanceReport& report,
                                           const std::vector<ContradictionCluster>& clusters,
                                           const RecordMap& records, std::string_view task_tag, UtcInstant now) {
  const int64_t today = utc_day(now);
  std::vector<ReflectionFinding> tasks;
  for (const auto& [id, record] : records)
    if (auto f = task_finding(record, task_tag, today)) tasks.push_back(std::move(*f));
  keep_best(tasks, kKeptPerKind);

  std::vector<ReflectionFinding> contradictions;
  for (const ContradictionCluster& c : clusters)
    if (auto f = contradiction_finding(c)) contradictions.push_back(std::move(*f));
  keep_best(contradictions, kKeptPerKind);

  std::optional<ReflectionFinding> trend = trend_finding(report.trend_summary, report.hotspots.dominant_phase);

  ReflectionSummary summary;
  summary.timestamp = report.timestamp;
  summary.dominant_phase = report.hotspots.dominant_phase;
  summary.report.jobs_run = 3;
  summary.report.blocker_findings = tasks.size();
  summary.report.contradiction_findings = contradictions.size();
  summary.report.trend_findings = trend ? 1 : 0;

  std::vector<ReflectionFinding>& all = summary.findings;
  all = std::move(tasks);
  all.insert(all.end(), std::make_move_iterator(contradictions.begin()), std::make_move_iterator(contradictions.end()));
  if (trend) all.push_back(std::move(*trend));
  summary.report.total_findings = all.size();
  summary.report.capped = all.size() > kMaxFindings;
  keep_best(all, kMaxFindings);

  if (all.empty()) {
    summary.digest = "No significant reflection findings this cycle.";
  } else {
    summary.digest = std::to_string(summary.report.total_findings) + " reflection finding(s): " + all[0].title;
    if (all.size() > 1) summary.digest += "; " + all[1].title;
  }
  return summary;
}

ReflectionSummary append_reflection_summary(const MaintenanceReport& report,
                                            const std::vector<ContradictionCluster>& clusters,
                                            const Guarded<RecordMap>& records, std::string_view task_tag,
                                            Guarded<std::vector<ReflectionSummary>>& history,
                                            const PersistenceTarget& target, Env& env) {
  const UtcInstant now = env.now();
  ReflectionSummary summary;
  {
    auto held = records.read();
    summary = build_reflection_summary(report, clusters, *held, task_tag, now);
  }
  auto kept = history.write();
  kept->push_back(summary);
  if (kept->size() > kKeptSummaries) kept->erase(kept->begin(), kept->end() - kKeptSummaries);
  (void)save_reflection_summaries(target.dir, target.key_ptr(), *kept, env);
  return summary;
}

}  // namespace vesk
