// The policy layer: advisory hints derived from causal patterns (prefer,
// recommend, verify first, avoid, warn), with the records behind them and a
// state.
//
// Rebuilt by the maintenance cycle's policy phase; read between cycles (hint
// queries, recall reranking, reports) under the main object's policy lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/string_hash.h"

namespace vesk {

enum class PolicyActionKind : uint8_t { Prefer = 0, Recommend = 1, VerifyFirst = 2, Avoid = 3, Warn = 4 };
enum class PolicyState : uint8_t { Candidate = 0, Stable = 1, Suppressed = 2, Rejected = 3 };

struct PolicyHint {
  std::string id;
  std::string key;
  std::string namespace_;
  std::string domain;
  PolicyActionKind action_kind = PolicyActionKind::Prefer;
  std::string recommendation;
  std::vector<std::string> trigger_causal_ids;
  std::vector<std::string> trigger_concept_ids;
  std::vector<std::string> trigger_belief_ids;
  std::vector<std::string> supporting_record_ids;
  std::vector<std::string> cause_record_ids;
  float confidence = 0.0f;
  float utility_score = 0.0f;
  float risk_score = 0.0f;
  float policy_strength = 0.0f;
  PolicyState state = PolicyState::Candidate;
  double last_updated = 0.0;
  std::string evidence_source_floor = "recorded";

  bool operator==(const PolicyHint&) const = default;
};

struct PolicyEngine {
  StringKeyMap<PolicyHint> hints;  // id -> hint
  StringMap key_index;             // key -> id

  bool operator==(const PolicyEngine&) const = default;
};

}  // namespace vesk
