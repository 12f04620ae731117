// Insight: one finding of the insight detectors (insight_detectors.h), a
// pattern in the record map worth a caller's attention.
//
// Every kind has a fixed phase and severity:
//
//   kind                     phase           severity
//   decay_risks              record_health   High
//   promotion_candidates     record_health   Medium
//   cluster                  relationships   Low
//   conflict                 relationships   High
//   explicit_contradiction   relationships   Critical
//   stale_topics             relationships   Low
//   hot_topics               relationships   Low
//   coactivation_momentum    relationships   Low
//   graph_hubs               relationships   Medium
//   causal_chain             relationships   Low
//   serendipity              cross_domain    Medium
//   trending                 cross_domain    Medium
//   knowledge_gap            cross_domain    Low
//   preference_pattern       cross_domain    Medium
//   decision_conflict        cross_domain    High
//
// Evidence values are texts already formatted; the evidence keeps its
// entries in the order they were added.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vesk {

enum class InsightSeverity : uint8_t { Low = 0, Medium = 1, High = 2, Critical = 3 };
enum class InsightPhase : uint8_t { RecordHealth = 0, Relationships = 1, CrossDomain = 2 };

// "Low", "Medium", "High", "Critical".
std::string_view severity_name(InsightSeverity s);
// "record_health", "relationships", "cross_domain".
std::string_view phase_name(InsightPhase p);

struct Insight {
  std::string insight_type;
  InsightSeverity severity = InsightSeverity::Low;
  InsightPhase phase = InsightPhase::RecordHealth;
  std::vector<std::string> record_ids;
  std::string description;
  std::vector<std::pair<std::string, std::string>> evidence;

  bool operator==(const Insight&) const = default;
};

// A float with exactly `decimals` digits after the point, rounded to the
// nearest such decimal (an exact tie to the even digit): the {:.2}, {:.1}
// and {:.0} of the insight texts.
std::string fixed_decimals(float v, int decimals);

}  // namespace vesk
