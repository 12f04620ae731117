// The causal layer: patterns saying that one kind of memory (a settled
// belief, or a lone record) tends to be followed by another in the same
// namespace, with the records behind them and a state.
//
// Rebuilt by the maintenance cycle's causal phase; read between cycles
// (policy phase, recall reranking, reports) under the main object's causal
// lock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/string_hash.h"
#include "cognitive/topology.h"

namespace vesk {

enum class CausalState : uint8_t { Candidate = 0, Stable = 1, Rejected = 2, Invalidated = 3 };
enum class CausalTemporalBudgetMode : uint8_t { ExhaustiveCapped = 0, NearbySuccessors = 1 };
enum class CausalEvidenceMode : uint8_t {
  StrictRepeatedWindows = 0,
  TemporalClusterRecovery = 1,
  ExplicitTrusted = 2,
};

struct CausalPattern {
  std::string id;
  std::string key;
  std::string namespace_;
  std::vector<std::string> cause_belief_ids;
  std::vector<std::string> effect_belief_ids;
  std::vector<std::string> cause_record_ids;   // first-seen order
  std::vector<std::string> effect_record_ids;  // first-seen order
  uint64_t support_count = 0;
  uint64_t explicit_support_count = 0;
  uint64_t temporal_support_count = 0;
  uint64_t unique_temporal_windows = 0;
  uint64_t effect_record_signature_variants = 0;
  uint64_t positive_effect_signals = 0;
  uint64_t negative_effect_signals = 0;
  uint64_t counterevidence = 0;
  uint64_t explicit_support_total_for_cause = 0;
  uint64_t explicit_effect_variants_for_cause = 0;
  float transition_lift = 0.0f;
  float temporal_consistency = 0.0f;
  float outcome_stability = 0.0f;
  float causal_strength = 0.0f;
  CausalState state = CausalState::Candidate;
  std::optional<std::string> invalidation_reason;
  std::optional<double> invalidated_at;
  double last_updated = 0.0;

  bool operator==(const CausalPattern&) const = default;
};

// Which patterns name each record, by role; derived from `patterns` by
// index_causal_records (cognitive/causal_record_index.h), never persisted.
// Whoever adds or removes patterns re-indexes before releasing the write
// lock: the causal phase, the loader and the purge. The index holds patterns
// of every state, so a correction that only changes a state keeps it valid.
struct CausalRecordLinks {
  std::vector<std::string> as_cause;   // pattern ids listing the record as a cause
  std::vector<std::string> as_effect;  // pattern ids listing the record as an effect
};

struct CausalRecordIndex {
  StringKeyMap<CausalRecordLinks> by_record;
  // Derived state: two engines with equal patterns are equal, indexed or not.
  bool operator==(const CausalRecordIndex&) const { return true; }
};

struct CausalEngine {
  StringKeyMap<CausalPattern> patterns;  // id -> pattern
  StringMap key_index;                   // key -> id
  CausalTemporalBudgetMode temporal_budget_mode = CausalTemporalBudgetMode::ExhaustiveCapped;
  CausalEvidenceMode evidence_mode = CausalEvidenceMode::StrictRepeatedWindows;
  uint64_t last_corpus_fingerprint = 0;
  uint64_t last_edges_found = 0;
  uint64_t last_explicit_edges_found = 0;
  uint64_t last_temporal_edges_found = 0;
  // A copy of the co-recall graph for the causal phase; not persisted.
  std::optional<Topology> topology;
  // Record id -> patterns; not persisted (see CausalRecordIndex).
  CausalRecordIndex record_patterns;

  bool operator==(const CausalEngine&) const = default;
};

}  // namespace vesk
