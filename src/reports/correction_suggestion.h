// Correction suggestions: a belief, causal pattern, policy hint or record that
// the governance reports propose to correct, why, how urgently, and the
// provenance of the record behind it when there is one.
#pragma once

#include <optional>
#include <string>

#include "reports/provenance_chain.h"

namespace vesk {

struct CorrectionSuggestion {
  std::string target_kind;
  std::string target_id;
  std::string namespace_;
  std::string reason_kind;
  std::string suggested_action;
  std::string reason_detail;
  float priority_score = 0.0f;
  std::string severity;
  std::optional<std::string> supporting_record_id;
  std::optional<ProvenanceChain> provenance;

  bool operator==(const CorrectionSuggestion&) const = default;
};

}  // namespace vesk
