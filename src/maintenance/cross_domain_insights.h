// Phase 2 of the insight detectors (insight_detectors.h), cross-domain
// findings, in this order:
//
//   serendipity         a link of weight >= 0.6 between two live records
//                       (strength >= 0.05, importance >= 0.3) of one
//                       namespace whose tag sets overlap little (Jaccard
//                       < 0.2), not typed "causal"; each unordered pair is
//                       judged once, from the side met first
//   trending            live records with activation_velocity >= 2 active in
//                       the last 3 days, fastest first (stable)
//   knowledge_gap       per pair of tag clusters (3+ live records, no record
//                       in both) with fewer than 2 links from the earlier
//                       cluster's records to the later one's
//   preference_pattern  per domain (first tag, else "general") of 2+ live
//                       "preference" records
//   decision_conflict   per pair of live "decision" records of one namespace
//                       whose tag sets have Jaccard >= 0.3
//
// Importance is record_importance (model/record_importance.h).
//
// Cost: bridges are counted from each record's links to the clusters of the
// link's target, not per cluster pair; decision pairs are drawn from the
// decisions that share a tag (Jaccard >= 0.3 needs one unless both are
// untagged), and emitted in the order of the plain pairwise loop.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "maintenance/insight.h"
#include "maintenance/insight_sink.h"
#include "model/record_map.h"

namespace vesk {

std::vector<Insight> detect_cross_domain_insights(const RecordMap& records, Env& env);

// The tag lists as sets of distinct texts: |a n b| / |a u b|, 1 when both are
// empty, 0 when one is.
float tag_set_jaccard(const std::vector<std::string>& a, const std::vector<std::string>& b);
// The text whole when it has at most `chars` characters (Unicode scalar
// values), else its first `chars` characters and "...".
std::string content_preview(std::string_view text, size_t chars = 40);

// The detectors of phase 2 into `sink`.
void cross_domain_insights_into(const RecordMap& records, Env& env, InsightSink& sink);

}  // namespace vesk
