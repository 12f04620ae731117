// The insight detectors: read-only scans of the record map that report
// patterns worth attention, each finding one Insight (insight.h). They change
// nothing and keep nothing between calls; the caller holds the record map
// (shared for insights(), exclusive in the maintenance cycle).
//
// Phase 0, record health, in this order:
//   decay_risks           0.05 <= strength < 0.15
//   promotion_candidates  activation_count >= 5, strength >= 0.7, not Identity
// Phase 1, relationships, in this order:
//   cluster               per tag carried 3+ times (a tag a record repeats
//                         counts each time)
//   conflict              per tag carried by a Working and an Identity record
//   explicit_contradiction  semantic type "contradiction", strength >= 0.05
//   stale_topics          14+ days since the last activation, strength >= 0.05
//   hot_topics            activation_count >= 3, under a day since then
//   coactivation_momentum per link of weight >= 0.5 held by the record whose
//                         id sorts first (byte-wise)
//   graph_hubs            10+ links
//   causal_chain          per root (a record some record names as its cause
//                         and that names none), the chain of first children
//                         in map order, at most 11 ids
// Phase 2, cross-domain: cross_domain_insights.h.
//
// Records are visited in the record map's order, and groups keyed by tag in
// the order their tags are first met. A group rule that matches nothing
// emits nothing. Days since an activation read the clock anew for each
// record examined.
//
// Causal chains find each record's first child through one map from parent
// to first child built in one pass, instead of a scan per link.
#pragma once

#include <cstdint>
#include <vector>

#include "base/env.h"
#include "maintenance/insight.h"
#include "model/record_map.h"

namespace vesk {

std::vector<Insight> detect_record_health_insights(const RecordMap& records);
std::vector<Insight> detect_relationship_insights(const RecordMap& records, Env& env);

// Phases 0, 1 and 2 concatenated, neither sorted nor capped.
std::vector<Insight> run_insight_detectors(const RecordMap& records, Env& env);
// The length of run_insight_detectors' list, without building any text.
uint64_t count_insights(const RecordMap& records, Env& env);

}  // namespace vesk
