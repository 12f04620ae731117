#include "cognitive/causal_pattern_key.h"

#include <array>
#include <utility>

#include "cognitive/hashed_id.h"
#include "model/debug_text.h"

namespace vesk {

StringMap settled_belief_by_record(const BeliefEngine& beliefs) {
  StringMap out;
  out.reserve(beliefs.record_index.size());
  for (const auto& [record_id, hypothesis_id] : beliefs.record_index) {
    auto h = beliefs.hypotheses.find(hypothesis_id);
    if (h == beliefs.hypotheses.end()) continue;
    auto b = beliefs.beliefs.find(h->second.belief_id);
    if (b == beliefs.beliefs.end()) continue;
    if (b->second.state != BeliefState::Resolved && b->second.state != BeliefState::Singleton) continue;
    out.emplace(record_id, b->second.id);
  }
  return out;
}

std::string causal_signature(const StringMap& settled_beliefs, std::string_view record_id) {
  if (auto it = settled_beliefs.find(record_id); it != settled_beliefs.end()) return it->second;
  std::string out;
  out.reserve(kCausalOrphanPrefix.size() + record_id.size());
  out.append(kCausalOrphanPrefix).append(record_id);
  return out;
}

std::string causal_pattern_key(std::string_view namespace_, std::string_view cause_signature,
                               std::string_view effect_signature) {
  std::string key;
  key.reserve(namespace_.size() + 1 + cause_signature.size() + kCausalArrow.size() + effect_signature.size());
  key.append(namespace_).append(":").append(cause_signature).append(kCausalArrow).append(effect_signature);
  return key;
}

std::string causal_pattern_id(std::string_view key) { return "ca-" + hashed_id_hex(key); }

Result<CausalEvidenceMode> parse_causal_evidence_mode(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, CausalEvidenceMode>, 3> kModes = {{
      {"strict", CausalEvidenceMode::StrictRepeatedWindows},
      {"temporal_cluster_recovery", CausalEvidenceMode::TemporalClusterRecovery},
      {"explicit_trusted", CausalEvidenceMode::ExplicitTrusted},
  }};
  for (const auto& [name, mode] : kModes)
    if (text == name) return mode;
  return Status::Value("unknown mode " + quote_debug(text) +
                       "; expected one of strict, temporal_cluster_recovery, explicit_trusted");
}

}  // namespace vesk
