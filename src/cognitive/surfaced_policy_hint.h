// The surfaced policy hint: the outward form of a policy hint that callers
// may read and act on. State and action kind are texts ("stable" or
// "candidate"; "prefer", "recommend", "verify_first", "avoid", "warn"); a
// hint resting on evidence less trusted than "recorded" is marked untrusted.
#pragma once

#include <string>
#include <vector>

namespace vesk {

struct SurfacedPolicyHint {
  std::string id;
  std::string state;
  std::string action_kind;
  std::string namespace_;
  std::string domain;
  std::string recommendation;
  double policy_strength = 0.0;
  double confidence = 0.0;
  double risk_score = 0.0;
  std::vector<std::string> trigger_causal_ids;
  std::vector<std::string> trigger_concept_ids;
  std::vector<std::string> trigger_belief_ids;
  std::vector<std::string> supporting_record_ids;
  std::string evidence_source_floor;  // least trusted source type behind it
  bool untrusted_evidence = false;

  bool operator==(const SurfacedPolicyHint&) const = default;
};

}  // namespace vesk
