#include "write/provenance.h"

namespace vesk {

std::string effective_source_type(const Record& record) {
  static const std::string kRelayed = "relayed_by_model", kCertainty = "claim_certainty";
  std::string result = record.source_type;
  auto relayed = record.metadata.find(kRelayed);
  if (result == "recorded" && relayed != record.metadata.end() && relayed->second == "true") result = "retrieved";
  auto certainty = record.metadata.find(kCertainty);
  if (certainty != record.metadata.end() && (certainty->second == "hearsay" || certainty->second == "speculative") &&
      result != "generated" && result != "inferred")
    result = "inferred";
  return result;
}

}  // namespace vesk
