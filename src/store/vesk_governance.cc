// The correction review queue, the suggested corrections, the namespace
// governance status and the explanation of one record.
//
// No thread here asks for a shared lock it already holds: the store's
// reader-writer locks are fair to waiting writers, so a second shared
// request would wait behind a writer (a correction, a maintenance phase)
// that itself waits for the first grant. Each report that is made of other
// reports runs them one after another, each under its own locks, and takes
// its own locks only after they are done; the suggestions build their
// provenances after their layer locks are released.
#include <algorithm>
#include <chrono>
#include <set>
#include <string_view>
#include <utility>

#include "reports/correction_review.h"
#include "store/explainability_bundle.h"
#include "reports/namespace_governance.h"
#include "reports/policy_governance.h"
#include "reports/provenance_chain.h"
#include "store/vesk.h"

namespace vesk {
namespace {

// The reflection summaries whose findings an explanation cites, newest first.
constexpr uint64_t kExplainReflectionSummaries = 8;
// The suggestions and pressure areas the governance status asks for; the
// reports cut them to their own caps.
constexpr uint64_t kGovernanceSuggestions = 64;
constexpr size_t kGovernancePressureAreas = 64;

double millis_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

std::vector<CorrectionReviewItem> Vesk::get_correction_review_queue(std::optional<uint64_t> limit) const {
  const size_t n = review_queue_limit(limit);
  if (n == 0) return {};
  const std::vector<CorrectionLogEntry> log = read_correction_log();
  if (log.empty()) return {};
  CorrectionTargets targets(log);
  {
    const CognitiveReadView view = cognitive_read_view();
    targets.read_beliefs(view.beliefs());
  }
  {
    const CognitiveReadView view = cognitive_read_view();
    targets.read_causal(view.causal());
  }
  {
    const CognitiveReadView view = cognitive_read_view();
    targets.read_policies(view.policies());
  }
  {
    auto records = records_.records.read();
    targets.read_records(*records);
  }
  return targets.review_items(n);
}

std::vector<CorrectionSuggestion> Vesk::rank_suggested_corrections(size_t limit) const {
  const std::vector<CorrectionReviewItem> review = get_correction_review_queue(std::max<uint64_t>(8, 3 * limit));
  auto beliefs = layers_.beliefs.read();
  auto causal = layers_.causal.read();
  auto policies = layers_.policies.read();
  return suggest_corrections(*beliefs, *causal, *policies, review, limit);
}

SuggestedCorrectionsReport Vesk::get_suggested_corrections(std::optional<uint64_t> limit) const {
  const auto started = std::chrono::steady_clock::now();
  SuggestedCorrectionsReport out;
  out.suggestions = rank_suggested_corrections(review_queue_limit(limit));
  // Only the kept suggestions show a provenance, so only theirs are built,
  // with no lock of the scan held.
  for (CorrectionSuggestion& s : out.suggestions)
    if (s.supporting_record_id) s.provenance = provenance_chain(*s.supporting_record_id);
  out.scan_latency_ms = millis_since(started);
  return out;
}

std::vector<NamespaceGovernanceStatus> Vesk::get_namespace_governance_status(
    const std::optional<std::vector<std::string>>& filter) const {
  if (filter && filter->empty()) return {};
  // The services first, each under its own locks.
  const std::vector<CorrectionLogEntry> log = read_correction_log();
  const std::vector<CorrectionSuggestion> suggestions =
      rank_suggested_corrections(review_queue_limit(kGovernanceSuggestions));
  std::optional<std::string> last_cycle, last_phase;
  {
    auto trends = maintenance_.trends.read();
    if (!trends->empty()) {
      last_cycle = trends->back().timestamp;
      last_phase = trends->back().dominant_phase;
    }
  }

  std::set<std::string_view, std::less<>> wanted;
  if (filter) wanted.insert(filter->begin(), filter->end());
  GovernanceTallies tallies;
  CorrectionTargets targets(log);
  {
    // One view: the record map and the layers read together, each once.
    const CognitiveReadView view = cognitive_read_view();
    for (const auto& [id, r] : view.records()) {
      auto it = tallies.find(r.namespace_);
      if (it == tallies.end()) {
        if (filter && !wanted.contains(r.namespace_)) continue;
        it = tallies.try_emplace(r.namespace_).first;
      }
      ++it->second.record_count;
    }
    if (tallies.empty()) return {};
    tally_namespace_beliefs(view.beliefs(), tallies);
    targets.read_beliefs(view.beliefs());
    targets.read_causal(view.causal());
    targets.read_policies(view.policies());
    targets.read_records(view.records());
    for (auto& [ns, s] : tallies)
      s.policy_pressure_area_count = policy_pressure_report(view.policies(), ns, kGovernancePressureAreas).size();
  }
  for (const CorrectionLogEntry& e : log) {
    auto it = tallies.find(targets.namespace_of(e));
    if (it != tallies.end()) ++it->second.correction_count;
  }
  for (const CorrectionSuggestion& s : suggestions) {
    auto it = tallies.find(s.namespace_);
    if (it != tallies.end()) ++it->second.suggested_correction_count;
  }
  return finish_governance_status(std::move(tallies), last_cycle, last_phase);
}

std::optional<ExplainedRecallItem> Vesk::explain_record(std::string_view record_id) const {
  // Copied under their own lock, which is taken alone.
  const std::vector<ReflectionSummary> reflections = get_reflection_summaries(kExplainReflectionSummaries);
  std::vector<ExplainedRecallItem> items;
  {
    const CognitiveReadView view = cognitive_read_view();
    const Record* record = view.records().find_value(record_id);
    if (!record) return std::nullopt;
    const ExplainLayers layers{view.beliefs(), view.concepts(), view.causal(), view.policies()};
    items.push_back(build_explained_item(1, *record, record_lookup(view.records()), layers, record->strength, {},
                                         reflections, nullptr));
  }
  // The log speaks only of linked causal patterns; it is read, when one is
  // linked, after the locks are released, so that no writer of the records
  // or layers waits for a walk of the audit journal's file.
  if (links_causal_patterns(items)) attach_pattern_corrections(items, read_correction_log());
  return std::move(items.front());
}

std::optional<ProvenanceChain> Vesk::provenance_chain(std::string_view record_id) const {
  const auto started = std::chrono::steady_clock::now();
  std::optional<ExplainedRecallItem> item = explain_record(record_id);
  if (!item) return std::nullopt;
  return explain_record_text(*item, millis_since(started));
}

std::optional<ExplainabilityBundle> Vesk::explainability_bundle(std::string_view record_id) const {
  const auto started = std::chrono::steady_clock::now();
  std::optional<ExplainedRecallItem> item = explain_record(record_id);
  if (!item) return std::nullopt;
  ExplainabilityBundle b;
  b.record_id = std::string(record_id);
  b.provenance = explain_record_text(*item, millis_since(started));
  b.explanation = std::move(*item);
  // One read of the log serves every lookup: the same entries as one read
  // per lookup, without reading the journal four or more times.
  collect_bundle_corrections(read_correction_log(), b);
  b.reflection_digest = get_reflection_digest(kExplainReflectionSummaries);
  b.related_reflection_findings = related_reflection_findings(
      get_reflection_summaries(kExplainReflectionSummaries), b.explanation.record_id, b.explanation.namespace_);
  b.belief_instability = get_belief_instability_summary();
  b.maintenance_trends = maintenance_trend_summary();
  return b;
}

}  // namespace vesk
