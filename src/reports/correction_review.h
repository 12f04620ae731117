// The correction review queue and the suggested corrections: two ranked,
// advisory lists over the correction log and the cognitive layers. Nothing
// is stored; both are computed on each request.
//
// Review queue: one item per correction log entry. With the entries ordered
// newest first (stable on equal timestamps) and i the position of an entry
// among n:
//   recency  = clamp(1 - 0.85 x i / n, 0.15, 1.0)
//   priority = 1.6 x downstream_impact + 0.9 x (repeat_count - 1) + recency
// in single precision; severity "high" from 5.0, "medium" from 2.5, else
// "low". repeat_count counts the log's entries with the same target kind and
// id. Dependents of a target t (each pattern or hint counts once):
//   belief           active patterns (Candidate, Stable) with t among their
//                    cause or effect beliefs; hints not Rejected with t among
//                    their trigger beliefs
//   record           active patterns with t among their cause or effect
//                    records; hints not Rejected with t among their
//                    supporting or cause records
//   causal_pattern   hints not Rejected with t among their trigger patterns
// Items are ordered by priority and timestamp descending, then target kind
// and id in byte order, and cut to the limit (10 when none, at most 50).
//
// Namespace of a target: a belief's is its key before the first ':' (the
// whole key without one); a pattern's, hint's or record's is its own. For
// any other kind, or a target that is not found: the target id before its
// first ':' (all of it without one), "default" when that is empty.
//
// Suggestions, four passes over the layers; candidates are keyed by (target
// kind, id), and a later candidate replaces an earlier one only with a
// strictly greater score. R is the score of the target's review item (the
// last in queue order of those with that target), 0 without one.
//   HighVolatility      beliefs with volatility >= 0.2: 0.25R + 4 x volatility
//   LowStabilityWith-   beliefs with stability <= 1.0 that d >= 1 active
//   CausalPressure      patterns depend on: 0.2R + 1.5 x max(0, 2 - stability)
//                       + 1.1d
//   InvalidationProne   patterns Rejected, or active with counterevidence > 0:
//                       0.25R + 1.4 x counterevidence + max(0, 1 - strength)
//   RepeatedSuppression hints Suppressed or Rejected, r their review item's
//                       repeat count (1 without one): 1.1(r - 1)
//                       + 1.5 x strength + 1.2 (Suppressed) or 1.8 (Rejected)
// Severity "high" from 3.8, "medium" from 2.2, else "low". Ranked by score
// descending, then target kind and id in byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "audit/correction_log_entry.h"
#include "cognitive/belief_layer.h"
#include "cognitive/causal_layer.h"
#include "cognitive/policy_layer.h"
#include "model/record_map.h"
#include "reports/correction_suggestion.h"

namespace vesk {

struct CorrectionReviewItem {
  uint64_t timestamp = 0;
  std::string time_iso;
  std::string target_kind;
  std::string target_id;
  std::string operation;
  std::string reason;
  std::string session_id;
  std::string namespace_;
  std::string title;  // "Review {operation} {target_kind} ({reason})"
  uint64_t repeat_count = 0;
  uint64_t dependent_causal_patterns = 0;
  uint64_t dependent_policy_hints = 0;
  uint64_t downstream_impact = 0;
  float priority_score = 0.0f;
  std::string severity;

  bool operator==(const CorrectionReviewItem&) const = default;
};

struct SuggestedCorrectionsReport {
  std::vector<CorrectionSuggestion> suggestions;
  double scan_latency_ms = 0.0;
};

// The namespace of a belief: its key before the first ':', all of it
// without one.
std::string_view belief_key_namespace(std::string_view key);
// The namespace a target id names: its text before the first ':' (all of it
// without one), "default" when that is empty.
std::string target_id_namespace(std::string_view target_id);

// What the layers and the record map say about the targets of one
// correction log: each target's namespace and its dependents. Each read_*
// looks at one part, which the caller holds shared, and may run under a
// lock of its own; the log must outlive the object.
class CorrectionTargets {
 public:
  explicit CorrectionTargets(const std::vector<CorrectionLogEntry>& log);

  void read_beliefs(const BeliefEngine& beliefs);
  void read_causal(const CausalEngine& causal);
  void read_policies(const PolicyEngine& policies);
  void read_records(const RecordMap& records);

  // The namespace of the entry's target by the rule above.
  std::string namespace_of(const CorrectionLogEntry& entry) const;

  // The review items of the log, ranked and cut to `limit`.
  std::vector<CorrectionReviewItem> review_items(size_t limit) const;

 private:
  struct Target {
    std::optional<std::string> namespace_;
    uint64_t causal_dependents = 0;
    uint64_t policy_dependents = 0;
  };
  using Targets = std::unordered_map<std::string_view, Target>;

  Target* find(Targets& targets, std::string_view id);
  const Target* find(std::string_view kind, std::string_view id) const;

  const std::vector<CorrectionLogEntry>& log_;
  Targets beliefs_, records_, patterns_, hints_;
};

// The suggestions the four passes make over the layers (held shared by the
// caller), ranked and cut to `limit`, each without its provenance.
std::vector<CorrectionSuggestion> suggest_corrections(const BeliefEngine& beliefs, const CausalEngine& causal,
                                                      const PolicyEngine& policies,
                                                      const std::vector<CorrectionReviewItem>& review, size_t limit);

}  // namespace vesk
